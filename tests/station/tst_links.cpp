#include "ProbeScreen.h"
#include "TestStation.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// Fails every operation on the items it is told to, and passes the rest through.
class FlakySource : public TagSource
{
public:
    explicit FlakySource(TagSource &inner, QStringList failing)
        : m_inner(inner)
        , m_failing(std::move(failing))
    {
    }
    std::optional<LinkId> open(const TagAddress &a, LinkMode m, ValueHandler h) override
    {
        if (m_failing.contains(a.item))
            return std::nullopt;
        return m_inner.open(a, m, std::move(h));
    }
    bool setTimeout(LinkId id, int t) override { return m_inner.setTimeout(id, t); }
    void close(LinkId id) override { m_inner.close(id); }
    bool poke(LinkId id, const QString &v) override { return m_inner.poke(id, v); }
    bool isLinkUp() const override { return true; }

private:
    TagSource &m_inner;
    QStringList m_failing;
};

} // namespace

class TestLinks : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadOpensAllModesThenAllTimeouts()
    {
        TestStation t(false);
        t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe")));
        t.screens().load(QStringLiteral("probe"));
        QCOMPARE(t.operations(), QStringList({"open a auto@0", "open b manual@0", "open c auto@0", "timeout a 50@0",
                                              "timeout b 50@0", "timeout c 50@0"}));
        t.server.clearOperations();
        t.advance(1000);
        t.screens().unload(QStringLiteral("probe"));
        QCOMPARE(t.operations(), QStringList({"close a@1000", "close b@1000", "close c@1000"}));
        QCOMPARE(t.server.openLinkCount(), 0);
    }

    void failuresAreIgnoredOneByOne()
    {
        VirtualScheduler s;
        InProcessServer server(s);
        FlakySource flaky(server, {QStringLiteral("a")});
        QTemporaryDir dir;
        Station station(s, flaky, dir.filePath(QStringLiteral("log.txt")));
        auto *probe = static_cast<ProbeScreen *>(
                station.screens().add(std::make_unique<ProbeScreen>(station, QStringLiteral("probe"))));
        server.setValue(QStringLiteral("a"), QStringLiteral("0"));
        server.setValue(QStringLiteral("c"), QStringLiteral("1"));
        probe->load();
        s.advance(0);
        QVERIFY(probe->isLoaded());
        QCOMPARE(probe->linkA->value(), QStringLiteral("1")); // its open failed: design caption stays
        QCOMPARE(probe->changes, QStringList({"lblC=1"}));    // the next link still opened
        QCOMPARE(server.operations().size(), 4);              // b and c opened, b and c timed out
    }

    void serverAbsentShowsDesignCaptionsAndFiresNothing()
    {
        TestStation t(false);
        auto *probe = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe"))));
        t.server.setValue(QStringLiteral("a"), QStringLiteral("0"));
        t.server.setPresent(false);
        probe->show();
        t.advance(1000);
        QVERIFY(probe->isLoaded());
        QCOMPARE(probe->linkA->value(), QStringLiteral("1"));
        QVERIFY(probe->changes.isEmpty());
        QCOMPARE(t.captionOf(QStringLiteral("probe"), QStringLiteral("lblAStatus")), QStringLiteral("FAULT"));
        QVERIFY(t.alarmLogLines().isEmpty());
        QVERIFY(probe->window()->windowTitle().endsWith(QLatin1String(" [NO DATA]")));
    }

    void deliveriesArePostedAndFireOnlyOnChange()
    {
        TestStation t(false);
        auto *probe = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe"))));
        t.server.setValue(QStringLiteral("a"), QStringLiteral("1"));
        t.server.setValue(QStringLiteral("c"), QStringLiteral("1"));
        t.server.setValue(QStringLiteral("b"), QStringLiteral("1"));
        probe->load();
        QVERIFY(probe->changes.isEmpty()); // nothing inside the load itself
        t.settle();
        // a was delivered "1" = its design caption: no change; b is manual: nothing.
        QCOMPARE(probe->changes, QStringList({"lblC=1"}));
        t.server.setValue(QStringLiteral("c"), QStringLiteral("1"));
        t.server.setValue(QStringLiteral("c"), QStringLiteral("2"));
        t.server.setValue(QStringLiteral("c"), QStringLiteral("0"));
        t.settle();
        QCOMPARE(probe->changes, QStringList({"lblC=1", "lblC=2", "lblC=0"}));
    }

    void aPokeReachesAutomaticLinksOfTheSameItemOnly()
    {
        TestStation t(false);
        auto *p1 = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("one"))));
        auto *p2 = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("two"))));
        p1->load();
        p2->load();
        t.settle();
        auto *b1 = t.link(QStringLiteral("one"), QStringLiteral("lblB"));
        auto *b2 = t.link(QStringLiteral("two"), QStringLiteral("lblB"));
        QVERIFY(b1->write(QStringLiteral("1")));
        t.settle();
        QCOMPARE(t.server.value(QStringLiteral("b")), QStringLiteral("1"));
        QCOMPARE(b2->value(), QStringLiteral("0")); // manual: the server's value never flows in
        QVERIFY(t.link(QStringLiteral("one"), QStringLiteral("lblA"))->write(QStringLiteral("7")));
        t.settle();
        QCOMPARE(p2->linkA->value(), QStringLiteral("7")); // automatic on another screen
        QCOMPARE(p1->linkA->value(), QStringLiteral("7"));
        QCOMPARE(p1->changes, QStringList()); // its own write is not a delivery that differs
        QCOMPARE(p2->changes, QStringList({"lblA=7"}));
    }

    void aClosedLinkGetsNothingThatWasAlreadyPosted()
    {
        TestStation t(false);
        auto *probe = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe"))));
        probe->load();
        t.settle();
        t.server.setValue(QStringLiteral("c"), QStringLiteral("1")); // posted, not yet run
        probe->unload();
        t.settle();
        QVERIFY(probe->changes.isEmpty());
    }

    void aFailedPokeKeepsTheText()
    {
        TestStation t(false);
        t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe")));
        t.screens().load(QStringLiteral("probe"));
        t.server.setPresent(false);
        auto *b = t.link(QStringLiteral("probe"), QStringLiteral("lblB"));
        QVERIFY(!b->write(QStringLiteral("1")));
        QCOMPARE(b->value(), QStringLiteral("1"));
    }

    void valuesFreezeWhileTheServerIsAwayAndCatchUpAfter()
    {
        TestStation t(false);
        auto *probe = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe"))));
        probe->load();
        t.server.setValue(QStringLiteral("c"), QStringLiteral("1"));
        t.settle();
        t.server.setPresent(false);
        t.server.setValue(QStringLiteral("c"), QStringLiteral("0"));
        t.advance(1000);
        QCOMPARE(t.link(QStringLiteral("probe"), QStringLiteral("lblC"))->value(), QStringLiteral("1"));
        t.server.setPresent(true);
        t.settle();
        QCOMPARE(t.link(QStringLiteral("probe"), QStringLiteral("lblC"))->value(), QStringLiteral("0"));
        QCOMPARE(probe->changes, QStringList({"lblC=1", "lblC=0"}));
    }

    void serverTextIsNeverMarkup()
    {
        TestStation t(false);
        auto *probe = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe"))));
        probe->show();
        t.server.setValue(QStringLiteral("a"), QStringLiteral("<b>45</b>"));
        t.settle();
        QCOMPARE(probe->lblA->text(), QStringLiteral("<b>45</b>"));
        QCOMPARE(probe->lblA->textFormat(), Qt::PlainText);
        QVERIFY(!probe->linkA->number());
    }

    void displayTextOfOddCharacters_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("number") << QStringLiteral("45.5") << QStringLiteral("45.5");
        QTest::newRow("line end and tab") << QStringLiteral("a\nb\tc") << QString::fromUtf16(u"a\uFFFDb\uFFFDc");
        QTest::newRow("C1 control, line separator")
                << QString::fromUtf16(u"\u0085x\u2028") << QString::fromUtf16(u"\uFFFDx\uFFFD");
        QTest::newRow("a pair is one character")
                << QString::fromUtf16(u"\U0001F686 ok") << QString::fromUtf16(u"\U0001F686 ok");
        QTest::newRow("lone high half") << QString::fromUtf16(u"a") + QChar(0xD83D) + u'b'
                                        << QString::fromUtf16(u"a\uFFFDb");
        QTest::newRow("lone low half") << QChar(0xDE86) + QStringLiteral("b") << QString::fromUtf16(u"\uFFFDb");
        QTest::newRow("halves the wrong way round")
                << QString(QChar(0xDE86)) + QChar(0xD83D) << QString::fromUtf16(u"\uFFFD\uFFFD");
    }
    void displayTextOfOddCharacters()
    {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QCOMPARE(displayText(value), shown);
    }

    void aLongValueIsNotCutInsideACharacter()
    {
        const QString pair = QString::fromUtf16(u"\U0001F686");
        const QString value = QString(254, u'x') + pair + QStringLiteral("tail");
        const QString shown = displayText(value);
        QCOMPARE(shown.size(), 255);
        QCOMPARE(shown, QString(254, u'x') + QChar(0x2026));
    }

    void displayKeepsTheValueButShowsWhatALabelCan()
    {
        const QString huge(1 << 20, u'9');
        QCOMPARE(displayText(huge).size(), 256);
        QVERIFY(displayText(huge).endsWith(QChar(0x2026)));

        TestStation t(false);
        auto *probe = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe"))));
        probe->load();
        t.server.setValue(QStringLiteral("a"), huge);
        t.settle();
        QCOMPARE(probe->linkA->value(), huge);
        QCOMPARE(probe->lblA->text().size(), 256);
    }

    void reloadOpensAfreshAndTheFirstDeliveryReplacesTheDesignCaption()
    {
        TestStation t(false);
        auto *probe = static_cast<ProbeScreen *>(
                t.screens().add(std::make_unique<ProbeScreen>(*t.station, QStringLiteral("probe"))));
        t.server.setValue(QStringLiteral("a"), QStringLiteral("0"));
        probe->load();
        t.settle();
        QCOMPARE(probe->changes, QStringList({"lblA=0"}));
        probe->unload();
        probe->load();
        QCOMPARE(probe->linkA->value(), QStringLiteral("1")); // a new window starts from design
        t.settle();
        QCOMPARE(probe->changes, QStringList({"lblA=0", "lblA=0"}));
    }
};

CORVANE_TEST_MAIN(TestLinks)
#include "tst_links.moc"
