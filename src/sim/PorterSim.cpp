#include "SimModule.h"
#include "SimulatedCar.h"

#include <array>
#include <memory>

namespace corvane::sim {

namespace {

// A call a passenger can place, and the porter's command that answers it.
struct Call
{
    const char *status;
    const char *answeredBy;
};

constexpr const char *kTableReset = "c577";

// clang-format off
constexpr Call kCalls[] = {
    // Per room: room call, annex call (both answered by the room's call reset), meal call, comm call.
    {"c42", "c600"}, {"c43", "c600"}, {"c604", "c603"}, {"c624", "c623"},
    {"c44", "c630"}, {"c45", "c630"}, {"c634", "c633"}, {"c654", "c653"},
    {"c46", "c660"}, {"c47", "c660"}, {"c664", "c663"}, {"c704", "c703"},
    {"c50", "c710"}, {"c51", "c710"}, {"c714", "c713"}, {"c734", "c733"},
    // The car: destination, meal service, A and B end doors, general toilet.
    {"c562", "c560"}, {"c565", "c563"}, {"c40", "c570"}, {"c41", "c571"}, {"c52", "c572"},
    // The dome tables, answered all at once.
    {"c53", kTableReset}, {"c54", kTableReset}, {"c55", kTableReset},
    {"c56", kTableReset}, {"c57", kTableReset}, {"c60", kTableReset},
};
// clang-format on
constexpr int kCallCount = int(std::size(kCalls));

// What else a room shows: the passenger's do-not-disturb and make-up switches, the
// conversation with the porter, and the wake-up the porter starts.
struct Room
{
    const char *doNotDisturb;
    const char *makeUp;
    const char *comm;
    const char *commCommand;     // starts or ends a conversation
    const char *commCallCommand; // answering a comm call opens one
    const char *wake;
    const char *wakeCommand;
    const char *otherCommands[2]; // call reset, meal call command
};

// clang-format off
constexpr Room kRooms[] = {
    {"v17414:0", "v17414:2", "c614", "c613", "c623", "c605", "c100", {"c600", "c603"}},
    {"v17450:0", "v17450:2", "c644", "c643", "c653", "c635", "c101", {"c630", "c633"}},
    {"v17504:0", "v17504:2", "c674", "c673", "c703", "c665", "c102", {"c660", "c663"}},
    {"v17540:0", "v17540:2", "c724", "c723", "c733", "c715", "c103", {"c710", "c713"}},
};
// clang-format on
constexpr int kRoomCount = int(std::size(kRooms));

constexpr const char *kCarCommands[] = {"c560", "c563", "c570", "c571", "c572", "c575", kTableReset};
constexpr const char *kTablesDisabled = "c576";
constexpr const char *kDisableTables = "c575";
constexpr const char *kPopUp = "c750";      // brings the porter screen up
constexpr const char *kCallActive = "c751"; // lights the main screen's porter lamp

// Each call comes on average once in this time; with 27 of them the car sees a new
// call about every 20 seconds. A passenger whom nobody answers gives up after a while.
constexpr double kMeanCallGapMs = 9 * 60 * 1000.0;
constexpr double kGiveUpMinMs = 2 * 60 * 1000.0, kGiveUpMaxMs = 5 * 60 * 1000.0;
constexpr double kMeanSwitchGapMs = 4 * 60 * 1000.0; // do-not-disturb and make-up
constexpr qint64 kPopUpMs = 4000;
constexpr qint64 kWakeMs = 30'000;
constexpr double kCommMinMs = 15'000, kCommMaxMs = 60'000;

QString item(const char *s)
{
    return QString::fromLatin1(s);
}

class PorterSim final : public SimModule
{
public:
    using SimModule::SimModule;

    void start() override
    {
        for (const Call &c : kCalls)
            off(c.status);
        for (const Room &r : kRooms) {
            for (const char *s : {r.doNotDisturb, r.makeUp, r.comm, r.wake, r.commCommand, r.commCallCommand,
                                  r.wakeCommand, r.otherCommands[0], r.otherCommands[1]})
                off(s);
        }
        for (const char *s : kCarCommands)
            off(s);
        for (const char *s : {kTablesDisabled, kPopUp, kCallActive})
            off(s);
        // A night on the car: one room does not want to be disturbed, one wants making up.
        ctx().setBit(item(kRooms[1].doNotDisturb), true);
        ctx().setBit(item(kRooms[2].makeUp), true);
        m_giveUpAt.fill(0);
        m_commUntil.fill(0);
        m_wakeUntil.fill(0);
    }

    void step() override
    {
        const qint64 now = ctx().nowMs;
        const bool tablesDisabled = ctx().bit(item(kTablesDisabled));
        for (int i = 0; i < kCallCount; ++i) {
            const QString status = item(kCalls[i].status);
            const bool tableCall = item(kCalls[i].answeredBy) == QLatin1String(kTableReset);
            if (!ctx().bit(status)) {
                if (!(tableCall && tablesDisabled) && ctx().chance(SimulatedCar::kStepMs / kMeanCallGapMs))
                    placeCall(i);
            } else if (m_giveUpAt[i] == 0) {
                m_giveUpAt[i] = now + qint64(ctx().uniform(kGiveUpMinMs, kGiveUpMaxMs)); // set from outside
            } else if (now >= m_giveUpAt[i]) {
                endCall(i);
            }
        }
        for (int r = 0; r < kRoomCount; ++r) {
            const Room &room = kRooms[r];
            if (m_commUntil[r] && now >= m_commUntil[r])
                setComm(r, false);
            if (m_wakeUntil[r] && now >= m_wakeUntil[r]) {
                m_wakeUntil[r] = 0;
                ctx().setBit(item(room.wake), false);
            }
            for (const char *sw : {room.doNotDisturb, room.makeUp}) {
                if (ctx().chance(SimulatedCar::kStepMs / kMeanSwitchGapMs))
                    ctx().setBit(item(sw), !ctx().bit(item(sw)));
            }
        }
        if (m_popUpUntil && now >= m_popUpUntil)
            endPopUp();
        updateCallActive();
    }

    // The porter's commands act on the rising "1" of a pulse (or the wake "1").
    void write(const QString &written, const QString &value) override
    {
        if (!readsAs(value, 1))
            return;
        bool porter = false;
        for (int i = 0; i < kCallCount; ++i) {
            if (written == QLatin1String(kCalls[i].answeredBy)) {
                endCall(i);
                porter = true;
            }
        }
        for (int r = 0; r < kRoomCount; ++r) {
            const Room &room = kRooms[r];
            if (written == QLatin1String(room.commCallCommand)) {
                setComm(r, true); // answering a comm call opens the conversation
            } else if (written == QLatin1String(room.commCommand)) {
                setComm(r, !ctx().bit(item(room.comm)));
                porter = true;
            } else if (written == QLatin1String(room.wakeCommand)) {
                // The PLC takes the command and wakes the room for a while.
                ctx().setBit(item(room.wake), true);
                ctx().setBit(item(room.wakeCommand), false);
                m_wakeUntil[r] = ctx().nowMs + kWakeMs;
                porter = true;
            }
        }
        if (written == QLatin1String(kDisableTables)) {
            ctx().setBit(item(kTablesDisabled), !ctx().bit(item(kTablesDisabled)));
            porter = true;
        }
        if (porter) {
            endPopUp(); // the porter is at the screen
            updateCallActive();
        }
    }

private:
    void off(const char *s) { ctx().setBit(item(s), false); }

    void placeCall(int i)
    {
        ctx().setBit(item(kCalls[i].status), true);
        m_giveUpAt[i] = ctx().nowMs + qint64(ctx().uniform(kGiveUpMinMs, kGiveUpMaxMs));
        ctx().setBit(item(kPopUp), true);
        m_popUpUntil = ctx().nowMs + kPopUpMs;
        updateCallActive();
    }

    void endCall(int i)
    {
        ctx().setBit(item(kCalls[i].status), false);
        m_giveUpAt[i] = 0;
    }

    void endPopUp()
    {
        m_popUpUntil = 0;
        ctx().setBit(item(kPopUp), false);
    }

    void setComm(int r, bool on)
    {
        ctx().setBit(item(kRooms[r].comm), on);
        m_commUntil[r] = on ? ctx().nowMs + qint64(ctx().uniform(kCommMinMs, kCommMaxMs)) : 0;
    }

    void updateCallActive()
    {
        bool any = false;
        for (const Call &c : kCalls)
            any = any || ctx().bit(item(c.status));
        ctx().setBit(item(kCallActive), any);
    }

    std::array<qint64, kCallCount> m_giveUpAt{};
    std::array<qint64, kRoomCount> m_commUntil{};
    std::array<qint64, kRoomCount> m_wakeUntil{};
    qint64 m_popUpUntil = 0;
};

} // namespace

std::unique_ptr<SimModule> makePorterSim(SimContext &ctx)
{
    return std::make_unique<PorterSim>(ctx);
}

} // namespace corvane::sim
