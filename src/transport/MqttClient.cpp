#include "MqttClient.h"
#include "MqttMessage.h"

#include "core/Logging.h"
#include "core/time/HandOff.h"
#include <QFile>
#include <QLoggingCategory>

#include <QMetaObject>
#include <QRandomGenerator>

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace corvane {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The protocol's floor; liveness is watched by our own probe, well inside it.
constexpr int kKeepAliveSeconds = 5;
// Nobody subscribes to it: unsubscribing is a round trip to the broker that changes
// nothing, our ping with a deadline we choose.
constexpr char kProbeFilter[] = "corvane/probe";
// How often the thread looks round while it stops.
constexpr int kTickMs = 100;
// The longest the thread sleeps when no deadline is nearer (the library's own
// keep-alive work runs at least this often).
constexpr int kLongestWaitMs = 1000;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QByteArray clientId(const QString &prefix)
{
    return prefix.toUtf8() + '-' + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
}

} // namespace

QString MqttSettings::brokerText() const
{
    const QString h = host.contains(u':') ? u'[' + host + u']' : host;
    return h + u':' + QString::number(port) + (tlsCa.isEmpty() ? QString() : QStringLiteral(" (TLS)"));
}

std::optional<QString> readPasswordFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

class MqttClient::Worker
{
public:
    Worker(MqttClient *owner, const MqttSettings &settings)
        : m_owner(owner)
        , m_handOff(new HandOff(owner))
        , m_settings(settings)
        , m_clientId(clientId(settings.clientIdPrefix))
    {
        if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0)
            m_wake[0] = m_wake[1] = -1;
    }

    ~Worker()
    {
        stop(0);
        for (int fd : m_wake) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    void start()
    {
        if (m_thread.joinable())
            return;
        initLibrary();
        m_thread = std::thread([this] { run(); });
    }

    void stop(int graceMs)
    {
        if (!m_thread.joinable())
            return;
        Command c;
        c.kind = Command::Stop;
        c.timeoutMs = graceMs;
        send(std::move(c));
        m_thread.join();
    }

    void subscribe(const QByteArray &filter, bool on)
    {
        Command c;
        c.kind = on ? Command::Subscribe : Command::Unsubscribe;
        c.topic = filter;
        send(std::move(c));
    }

    void publish(const QByteArray &topic, const QByteArray &payload, bool retain, int timeoutMs)
    {
        Command c;
        c.kind = Command::Publish;
        c.topic = topic;
        c.payload = payload;
        c.retain = retain;
        c.timeoutMs = timeoutMs;
        send(std::move(c));
    }

private:
    struct Command
    {
        enum Kind { Subscribe, Unsubscribe, Publish, Stop };
        Kind kind = Publish;
        QByteArray topic;
        QByteArray payload;
        bool retain = false;
        int timeoutMs = 0;
    };
    struct Pending
    {
        Clock::time_point deadline;
        bool publish = false;
        QByteArray topic = {}; // of a publish, to say which one failed
        QByteArray payload = {};
    };

    // --- the owner's thread ---

    void send(Command c)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(c));
        }
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(m_wake[1], &byte, 1); // full pipe: already awake
    }

    template<typename F>
    void post(F &&fn)
    {
        m_handOff->post(std::forward<F>(fn));
    }

    // --- the network thread ---

    void run()
    {
        m_nextAttempt = Clock::now();
        for (;;) {
            takeCommands();
            const auto now = Clock::now();
            if (m_stopping) {
                if (!m_sessionUp || unackedPublishes() == 0 || now >= m_stopDeadline)
                    break;
            } else if (!m_mosq && now >= m_nextAttempt) {
                connectNow();
            }
            service();
            if (m_mosq && !m_dropWanted)
                watchTimes(Clock::now());
            if (m_dropWanted)
                drop();
        }
        if (m_mosq) {
            if (m_sessionUp) {
                mosquitto_disconnect(m_mosq);
                mosquitto_loop_write(m_mosq, 1);
            }
            mosquitto_destroy(m_mosq);
            m_mosq = nullptr;
        }
        m_sessionUp = false;
    }

    void takeCommands()
    {
        std::deque<Command> commands;
        {
            std::lock_guard lock(m_mutex);
            commands.swap(m_queue);
        }
        for (Command &c : commands)
            execute(c);
    }

    void execute(const Command &c)
    {
        switch (c.kind) {
        case Command::Subscribe:
            m_subscriptions.insert(c.topic);
            if (m_sessionUp)
                sendSubscribe(c.topic);
            break;
        case Command::Unsubscribe:
            m_subscriptions.erase(c.topic);
            if (m_sessionUp) {
                int mid = 0;
                if (mosquitto_unsubscribe(m_mosq, &mid, c.topic.constData()) == MOSQ_ERR_SUCCESS)
                    m_pending[mid] = {Clock::now() + milliseconds(m_settings.exchangeTimeoutMs), false};
            }
            break;
        case Command::Publish: {
            if (!m_sessionUp || m_dropWanted) {
                qCDebug(lcMqtt) << "not connected, not sent:" << c.topic;
                failed(c.topic, c.payload);
                break;
            }
            int mid = 0;
            const int rc = mosquitto_publish(m_mosq, &mid, c.topic.constData(), int(c.payload.size()),
                                             c.payload.constData(), 1, c.retain);
            if (rc == MOSQ_ERR_SUCCESS) {
                const int timeout = c.timeoutMs > 0 ? c.timeoutMs : m_settings.exchangeTimeoutMs;
                m_pending[mid] = {Clock::now() + milliseconds(timeout), true, c.topic, c.payload};
            } else {
                if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO)
                    lost(rc);
                else
                    qCWarning(lcMqtt) << "cannot publish to" << c.topic << ':' << mosquitto_strerror(rc);
                failed(c.topic, c.payload);
            }
            break;
        }
        case Command::Stop:
            m_stopping = true;
            m_stopDeadline = Clock::now() + milliseconds(c.timeoutMs);
            break;
        }
    }

    void sendSubscribe(const QByteArray &filter)
    {
        int mid = 0;
        if (mosquitto_subscribe(m_mosq, &mid, filter.constData(), 1) == MOSQ_ERR_SUCCESS)
            m_pending[mid] = {Clock::now() + milliseconds(m_settings.exchangeTimeoutMs), false};
    }

    int unackedPublishes() const
    {
        return int(std::count_if(m_pending.begin(), m_pending.end(), [](const auto &p) { return p.second.publish; }));
    }

    void connectNow()
    {
        m_dropWanted = false;
        m_mosq = mosquitto_new(m_clientId.constData(), true, this);
        if (!m_mosq) {
            lost(MOSQ_ERR_NOMEM);
            return;
        }
        mosquitto_connect_callback_set(m_mosq, &Worker::onConnect);
        mosquitto_disconnect_callback_set(m_mosq, &Worker::onDisconnect);
        mosquitto_message_callback_set(m_mosq, &Worker::onMessage);
        mosquitto_publish_callback_set(m_mosq, &Worker::onAcknowledged);
        mosquitto_subscribe_callback_set(m_mosq, &Worker::onSubscribed);
        mosquitto_unsubscribe_callback_set(m_mosq, &Worker::onAcknowledged);
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        // Small packets wait for nothing: without this, loopback deliveries show 40 ms tails.
        mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);

        int rc = MOSQ_ERR_SUCCESS;
        if (!m_settings.willTopic.isEmpty()) {
            const QByteArray topic = m_settings.willTopic.toUtf8();
            rc = mosquitto_will_set(m_mosq, topic.constData(), int(m_settings.willPayload.size()),
                                    m_settings.willPayload.constData(), 1, m_settings.willRetain);
        }
        if (rc == MOSQ_ERR_SUCCESS && !m_settings.username.isEmpty()) {
            const QByteArray user = m_settings.username.toUtf8();
            QByteArray password = m_settings.password.toUtf8();
            rc = mosquitto_username_pw_set(m_mosq, user.constData(),
                                           m_settings.password.isNull() ? nullptr : password.constData());
            password.fill('\0');
        }
        if (rc == MOSQ_ERR_SUCCESS && !m_settings.tlsCa.isEmpty()) {
            const QByteArray ca = QFile::encodeName(m_settings.tlsCa);
            const QByteArray cert = QFile::encodeName(m_settings.tlsCert);
            const QByteArray key = QFile::encodeName(m_settings.tlsKey);
            rc = mosquitto_tls_set(m_mosq, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                                   key.isEmpty() ? nullptr : key.constData(), nullptr);
        }
        if (rc == MOSQ_ERR_SUCCESS) {
            const QByteArray host = m_settings.host.toUtf8();
            rc = mosquitto_connect_async(m_mosq, host.constData(), m_settings.port, kKeepAliveSeconds);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            lost(rc);
            return;
        }
        m_connectDeadline = Clock::now() + milliseconds(m_settings.exchangeTimeoutMs);
    }

    // Until the nearest deadline: an idle link wakes for its probe and the answer,
    // not on a fixed tick. Commands and the socket wake it sooner.
    int waitMs() const
    {
        const auto now = Clock::now();
        if (m_stopping)
            return kTickMs;
        auto next = now + milliseconds(kLongestWaitMs);
        if (!m_mosq) {
            next = std::min(next, m_nextAttempt);
        } else if (!m_sessionUp) {
            next = std::min(next, m_connectDeadline);
        } else {
            for (const auto &[mid, pending] : m_pending)
                next = std::min(next, pending.deadline);
            if (m_probeMid == 0)
                next = std::min(next, m_lastHeard + milliseconds(m_settings.probeIdleMs));
        }
        return int(std::clamp<qint64>(std::chrono::ceil<milliseconds>(next - now).count(), 0, kLongestWaitMs));
    }

    // Waits for the socket, a command or the nearest deadline, and lets the library work.
    void service()
    {
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 1;
        const int sock = m_mosq && !m_dropWanted ? mosquitto_socket(m_mosq) : -1;
        if (sock >= 0) {
            fds[1] = {sock, short(POLLIN | (mosquitto_want_write(m_mosq) ? POLLOUT : 0)), 0};
            count = 2;
        }
        if (::poll(fds, count, waitMs()) < 0)
            return; // EINTR: go round again
        if (fds[0].revents & POLLIN) {
            char buf[64];
            while (::read(m_wake[0], buf, sizeof buf) > 0) {
            }
        }
        if (count < 2 || !m_mosq)
            return;
        if (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) {
            const int rc = mosquitto_loop_read(m_mosq, 1);
            if (rc != MOSQ_ERR_SUCCESS)
                lost(rc);
        }
        if (!m_dropWanted && (fds[1].revents & POLLOUT)) {
            const int rc = mosquitto_loop_write(m_mosq, 1);
            if (rc != MOSQ_ERR_SUCCESS)
                lost(rc);
        }
        if (!m_dropWanted) {
            const int rc = mosquitto_loop_misc(m_mosq);
            if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN)
                lost(rc);
        }
    }

    // Every exchange has a deadline. A late answer fails that exchange only; the
    // connection ends when the probe (or the connect) goes unanswered.
    void watchTimes(Clock::time_point now)
    {
        if (!m_sessionUp) {
            if (now >= m_connectDeadline)
                lost(QStringLiteral("no answer to connect"));
            return;
        }
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            if (now < it->second.deadline) {
                ++it;
            } else if (it->first == m_probeMid) {
                lost(QStringLiteral("no answer from the broker"));
                return;
            } else {
                if (it->second.publish) {
                    qCInfo(lcMqtt) << "publish to" << it->second.topic << "not acknowledged in time";
                    failed(it->second.topic, it->second.payload);
                } else {
                    qCInfo(lcMqtt) << "a subscription was not acknowledged in time";
                }
                it = m_pending.erase(it);
            }
        }
        if (m_probeMid == 0 && now - m_lastHeard >= milliseconds(m_settings.probeIdleMs)) {
            int mid = 0;
            if (mosquitto_unsubscribe(m_mosq, &mid, kProbeFilter) == MOSQ_ERR_SUCCESS) {
                m_probeMid = mid;
                m_pending[mid] = {now + milliseconds(m_settings.probeTimeoutMs), false};
            }
        }
    }

    void failed(const QByteArray &topic, const QByteArray &payload)
    {
        post([owner = m_owner, t = QString::fromUtf8(topic), payload] { Q_EMIT owner->publishFailed(t, payload); });
    }

    void lost(int rc) { lost(QString::fromUtf8(mosquitto_strerror(rc))); }
    void lost(const QString &reason)
    {
        if (!m_dropWanted) {
            m_dropReason = reason;
            m_dropWanted = true;
        }
    }

    // Discards the connection and all it still held, and schedules the next attempt.
    void drop()
    {
        if (m_mosq) {
            mosquitto_destroy(m_mosq);
            m_mosq = nullptr;
        }
        const bool wasUp = m_sessionUp;
        m_sessionUp = false;
        m_dropWanted = false;
        for (const auto &[mid, pending] : m_pending) {
            if (pending.publish)
                failed(pending.topic, pending.payload);
        }
        m_pending.clear();
        m_probeMid = 0;
        m_nextAttempt = Clock::now() + milliseconds(m_backoffMs);
        m_backoffMs = std::min(m_backoffMs * 2, m_settings.reconnectMaxMs);
        if (wasUp || !m_failureReported) {
            const QString text
                    = wasUp ? QStringLiteral("connection to %1 lost: %2") : QStringLiteral("cannot connect to %1: %2");
            qCInfo(lcMqtt).noquote() << text.arg(m_settings.brokerText(), m_dropReason);
            m_failureReported = true; // once per outage, not at every attempt
        }
        if (wasUp)
            post([owner = m_owner] { owner->setConnected(false); });
        else
            m_owner->m_failedAttempts.fetch_add(1, std::memory_order_relaxed);
    }

    // --- library callbacks, on the network thread inside the loop calls ---

    static Worker *self(void *obj) { return static_cast<Worker *>(obj); }

    static void onConnect(mosquitto *, void *obj, int rc)
    {
        Worker *w = self(obj);
        if (rc != 0) {
            w->lost(QString::fromUtf8(mosquitto_connack_string(rc)));
            return;
        }
        w->m_sessionUp = true;
        w->m_failureReported = false;
        w->m_backoffMs = w->m_settings.reconnectMinMs;
        w->m_lastHeard = Clock::now();
        for (const QByteArray &filter : w->m_subscriptions)
            w->sendSubscribe(filter);
        qCInfo(lcMqtt).noquote() << "connected to" << w->m_settings.brokerText();
        w->post([owner = w->m_owner] { owner->setConnected(true); });
    }

    static void onDisconnect(mosquitto *, void *obj, int rc) { self(obj)->lost(rc == 0 ? MOSQ_ERR_CONN_LOST : rc); }

    static void onMessage(mosquitto *, void *obj, const mosquitto_message *message)
    {
        Worker *w = self(obj);
        w->m_lastHeard = Clock::now();
        ReceivedMessage m
                = receivedMessage(message->topic, message->payload, message->payloadlen, w->m_settings.maxPayloadBytes);
        w->post([owner = w->m_owner, m = std::move(m)] { Q_EMIT owner->messageReceived(m.topic, m.payload); });
    }

    static void onAcknowledged(mosquitto *, void *obj, int mid)
    {
        Worker *w = self(obj);
        w->m_lastHeard = Clock::now();
        w->m_pending.erase(mid);
        if (mid == w->m_probeMid) {
            w->m_probeMid = 0;
            w->m_owner->m_probesAnswered.fetch_add(1, std::memory_order_relaxed);
        }
    }

    static void onSubscribed(mosquitto *, void *obj, int mid, int count, const int *granted)
    {
        onAcknowledged(nullptr, obj, mid);
        if (count > 0 && granted && granted[0] == 0x80)
            qCWarning(lcMqtt) << "the broker refused a subscription";
    }

    MqttClient *m_owner;
    HandOff *m_handOff; // owned by m_owner
    const MqttSettings m_settings;
    // The same on every connection: a new connection takes over one the broker still
    // holds, so a last will of ours can never land after our own later "online".
    const QByteArray m_clientId;
    std::thread m_thread;
    int m_wake[2] = {-1, -1};

    std::mutex m_mutex;
    std::deque<Command> m_queue; // guarded by m_mutex

    // Network thread only from here.
    mosquitto *m_mosq = nullptr;
    bool m_sessionUp = false;
    bool m_dropWanted = false;
    bool m_stopping = false;
    bool m_failureReported = false;
    QString m_dropReason;
    std::set<QByteArray> m_subscriptions;
    std::map<int, Pending> m_pending;
    int m_probeMid = 0;
    int m_backoffMs = m_settings.reconnectMinMs;
    Clock::time_point m_nextAttempt;
    Clock::time_point m_connectDeadline;
    Clock::time_point m_lastHeard;
    Clock::time_point m_stopDeadline;
};

MqttClient::MqttClient(MqttSettings settings, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_worker(std::make_unique<Worker>(this, m_settings))
{
}

MqttClient::~MqttClient()
{
    stop();
}

void MqttClient::start()
{
    m_worker->start();
}

void MqttClient::stop(int graceMs)
{
    m_worker->stop(graceMs);
    m_connected = false;
}

void MqttClient::subscribe(const QString &filter)
{
    const QByteArray f = filter.toUtf8();
    if (mosquitto_sub_topic_check(f.constData()) == MOSQ_ERR_SUCCESS)
        m_worker->subscribe(f, true);
}

void MqttClient::unsubscribe(const QString &filter)
{
    m_worker->subscribe(filter.toUtf8(), false);
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain, int timeoutMs)
{
    const QByteArray t = topic.toUtf8();
    if (!m_connected || mosquitto_pub_topic_check(t.constData()) != MOSQ_ERR_SUCCESS)
        return false;
    m_worker->publish(t, payload, retain, timeoutMs);
    return true;
}

void MqttClient::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    Q_EMIT connectedChanged(connected);
}

} // namespace corvane
