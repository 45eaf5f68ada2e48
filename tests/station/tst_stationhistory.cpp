// What the station keeps of attempts whose rows it dropped: the figures of a long simulated
// shift match those counted over every row it ever had, and a unit seen long before is still
// recognised when it comes back.

#include "record/recordbacklog.h"
#include "service/exitcodes.h"
#include "station/stationhistory.h"
#include "station/stationoutput.h"
#include "station/stationrouter.h"
#include "station/stationunit.h"

#include <QRandomGenerator>
#include <QtTest>

using stationrouting::SSighting;
using stationrouting::SUnitRow;
using SUnits = std::vector<std::unique_ptr<SStationUnit>>;

namespace {

class NoOutput final : public CStationOutput
{
public:
    void event(const SStationUnit*, const QJsonObject&) override {}
    void summary(const SStationSummary&) override {}
    void recordBacklog(int, const QString&, const QString&) override {}
    void forget(const SStationUnit& unit) override { forgotten << unit.number; }
    QList<int> forgotten;
};

// Every row as the station had it (`all`, never pruned) and the rows it keeps, changed alike.
struct Shift
{
    SUnits all, kept;
    CStationHistory history;
    NoOutput output;

    SStationUnit& add(SStationUnit unit)
    {
        all.push_back(std::make_unique<SStationUnit>(unit));
        kept.push_back(std::make_unique<SStationUnit>(unit));
        return *all.back();
    }
    template <typename Change>
    void change(int number, Change&& change)
    {
        for (SUnits* units : {&all, &kept})
            for (auto& unit : *units)
                if (unit->number == number)
                    change(*unit);
    }
    const SStationUnit* keptUnit(int number) const
    {
        for (const auto& unit : kept)
            if (unit->number == number)
                return unit.get();
        return nullptr;
    }
};

QString figures(const SStationSummary& s)
{
    return QStringLiteral("seen %1 updated %2 up-to-date %3 failures %4 working %5 first %6/%7")
        .arg(s.seen)
        .arg(s.updated)
        .arg(s.upToDate)
        .arg(s.failures)
        .arg(s.working)
        .arg(s.firstPassed)
        .arg(s.firstTried);
}

QString failed(const SStationSummary& s)
{
    QStringList lines;
    for (auto it = s.failed.cbegin(); it != s.failed.cend(); ++it)
        lines << it.key() + QStringLiteral(": ") + it.value().join(QStringLiteral(" | "));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class tst_StationHistory : public QObject
{
    Q_OBJECT

private slots:
    void shiftFigures_data();
    void shiftFigures();
    void unitSeenBeforeIsRecognised_data();
    void unitSeenBeforeIsRecognised();
};

void tst_StationHistory::shiftFigures_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1U, 2U, 3U, 4U, 5U, 6U})
        QTest::addRow("seed %u", seed) << seed;
}

// Units of a small pool come back (again after a failure, or after their update), some have no
// serial number, some turn out to be twins, some leave before their turn, ports do not answer
// and answer later; the rows are pruned after each step, as the coordinator does on its tick.
void tst_StationHistory::shiftFigures()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    Shift shift;
    int numbers = 0;
    quint64 generation = 0;
    auto active = [&](const SStationUnit& u) {
        return u.state == SUnitRow::EQueued || u.state == SUnitRow::ERunning ||
               u.state == SUnitRow::EWaiting;
    };
    auto pick = [&](auto&& wanted) -> SStationUnit* {
        std::vector<SStationUnit*> found;
        for (auto& unit : shift.kept)
            if (wanted(*unit))
                found.push_back(unit.get());
        return found.empty() ? nullptr : found[random.bounded(int(found.size()))];
    };
    const int steps = 3000;
    for (int step = 0; step < steps; ++step) {
        const int what = random.bounded(100);
        const QString port = QStringLiteral("/dev/pts/%1").arg(random.bounded(8));
        if (what < 35) {
            // A unit plugged in: a new attempt, unless it is at work already.
            const quint32 serial = random.bounded(10) == 0 ? 0 : 60001 + random.bounded(40);
            SStationUnit unit;
            unit.identity = {true, serial, 3};
            if (serial != 0 && std::any_of(shift.all.cbegin(), shift.all.cend(), [&](auto& u) {
                    return active(*u) && u->identity == unit.identity;
                }))
                continue;
            unit.number = ++numbers;
            unit.port = port;
            unit.generation = ++generation;
            shift.add(unit);
        } else if (what < 55) {
            if (SStationUnit* unit = pick([](auto& u) { return u.state == SUnitRow::EQueued; }))
                shift.change(unit->number, [](SStationUnit& u) { u.state = SUnitRow::ERunning; });
        } else if (what < 90) {
            SStationUnit* unit = pick(active);
            if (!unit)
                continue;
            const int end = random.bounded(10);
            const bool queued = unit->state == SUnitRow::EQueued;
            const qint64 ms = 1000 + random.bounded(300000);
            shift.change(unit->number, [&](SStationUnit& u) {
                u.state = SUnitRow::EDone;
                u.durationMs = ms;
                if (queued && end == 0) {
                    u.exitCode = cliexit::kNoUnit;
                    u.outcome = QLatin1String(SStationUnit::kGone);
                } else if (end == 1) {
                    u.exitCode = cliexit::kNotUpdatable;
                    u.outcome = QLatin1String(SStationUnit::kDuplicate);
                    u.text = QStringLiteral("twins");
                } else if (end < 4) {
                    u.exitCode = cliexit::kTransferFailed;
                    u.outcome = QStringLiteral("transfer-failed");
                    u.text = QStringLiteral("failed at %1").arg(u.number);
                } else if (end < 6) {
                    u.exitCode = cliexit::kUpToDate;
                    u.outcome = QStringLiteral("up-to-date");
                } else {
                    u.exitCode = cliexit::kOk;
                    u.outcome = QStringLiteral("updated");
                }
            });
            shift.history.ended(*shift.keptUnit(unit->number));
        } else if (what < 95) {
            SStationUnit unit;
            unit.number = ++numbers;
            unit.port = port;
            unit.state = SUnitRow::ENoAnswer;
            unit.exitCode = cliexit::kNoUnit;
            unit.outcome = QLatin1String(SStationUnit::kNoAnswer);
            unit.text = QStringLiteral("the unit did not answer");
            shift.add(unit);
        } else {
            // The port's unit answered after all: its latest no-answer row counts no more.
            for (auto it = shift.kept.rbegin(); it != shift.kept.rend(); ++it) {
                if ((*it)->state == SUnitRow::ENoAnswer && (*it)->port == port) {
                    if (!(*it)->superseded)
                        shift.change((*it)->number, [](SStationUnit& u) { u.superseded = true; });
                    break;
                }
            }
        }
        shift.history.prune(shift.kept, shift.output);
        if (step % 100 == 0) {
            const SStationSummary kept = shift.history.summary(shift.kept, {}, false);
            const SStationSummary all = stationSummary(shift.all, {}, false);
            QCOMPARE(figures(kept), figures(all));
            // While the run goes on, to a tenth of a second.
            QVERIFY2(kept.medianMs <= all.medianMs && all.medianMs - kept.medianMs < 100,
                     qPrintable(QStringLiteral("%1 %2").arg(kept.medianMs).arg(all.medianMs)));
        }
    }
    const QSet<QString> startPorts = {QStringLiteral("/dev/ttyACM9")};
    const SStationSummary kept = shift.history.summary(shift.kept, startPorts, true);
    const SStationSummary all = stationSummary(shift.all, startPorts, true);
    QCOMPARE(figures(kept), figures(all));
    QCOMPARE(kept.medianMs, all.medianMs);
    QCOMPARE(failed(kept), failed(all));
    // Few rows are kept, and the outputs were told of each one dropped.
    QVERIFY2(shift.kept.size() <= size_t(CStationHistory::kKeptDone + 40 + 8),
             qPrintable(QString::number(shift.kept.size())));
    QCOMPARE(shift.output.forgotten.size() + int(shift.kept.size()), int(shift.all.size()));
    QVERIFY(shift.all.size() > 1000);
}

void tst_StationHistory::unitSeenBeforeIsRecognised_data()
{
    QTest::addColumn<QStringList>("present"); // ports there when it comes back, with /dev/pts/3
    QTest::addColumn<QString>("appl");        // the application it reports then
    QTest::addColumn<QString>("outcome");     // of its new row (empty: queued for its update)

    QTest::newRow("as its update left it") << QStringList() << "2.24"
                                           << "up-to-date";
    QTest::newRow("with another application") << QStringList() << "2.20"
                                              << "";
    // Its first port still there as it was: two units with one identity.
    QTest::newRow("a twin") << QStringList{"/dev/pts/1"} << "2.24"
                            << "duplicate";
}

// A unit updated at the start of a shift, whose row was dropped since, comes back.
void tst_StationHistory::unitSeenBeforeIsRecognised()
{
    QFETCH(QStringList, present);
    QFETCH(QString, appl);
    QFETCH(QString, outcome);
    SUnits units;
    CStationHistory history;
    NoOutput output;
    CRecordBacklog record{QString(), QString(), QString()};
    QString errors;
    QTextStream err(&errors);
    CStationRouter router(CStationRouter::SParts{units, history, output, record, err, QString(),
                                                 QString(), [&](SStationUnit& unit, int exitCode) {
                                                     unit.exitCode = exitCode;
                                                     unit.state = SUnitRow::EDone;
                                                     history.ended(unit);
                                                 }});
    QSet<QString> startPorts;
    QHash<QString, quint64> ports;
    CStationRouter::SRun run;
    run.stationMode = true;
    run.startPorts = &startPorts;
    run.present = &ports;
    // As the enumerator makes them: a hash, all of its 64 bits in use.
    constexpr quint64 kGeneration = 0x9e3779b97f4a7c15ULL;
    auto sighting = [](const QString& port, quint32 serial, const QString& appl) {
        SSighting seen;
        seen.port = port;
        seen.generation = kGeneration;
        seen.identity = {true, serial, 3};
        seen.boot = QStringLiteral("2.24.B");
        seen.appl = appl;
        seen.wifi = QStringLiteral("3.05");
        return seen;
    };
    auto updated = [&](SStationUnit& unit) {
        unit.state = SUnitRow::EDone;
        unit.exitCode = cliexit::kOk;
        unit.outcome = QStringLiteral("updated");
        unit.bootAfter = QStringLiteral("2.24.B");
        unit.applAfter = QStringLiteral("2.24");
        unit.wifiAfter = QStringLiteral("3.05");
        history.ended(unit);
    };
    // As the unit answered: a plus with its serial number on board 3.
    auto route = [&](const SSighting& seen) {
        SHLP_IdentData ident;
        ident.m_SerialNo = seen.identity.serial;
        ident.m_BoardVersion = 3;
        ident.m_Features = 0x0001;
        return router.route(seen, &ident, run);
    };
    ports.insert(QStringLiteral("/dev/pts/1"), kGeneration);
    QVERIFY(route(sighting(QStringLiteral("/dev/pts/1"), 60001, "2.24")));
    updated(*units.back());
    for (quint32 serial = 61000; serial < 61000 + 2 * CStationHistory::kKeptDone; ++serial) {
        QVERIFY(route(sighting(QStringLiteral("/dev/pts/2"), serial, "2.20")));
        updated(*units.back());
    }
    history.prune(units, output);
    QCOMPARE(int(units.size()), CStationHistory::kKeptDone);
    QVERIFY(output.forgotten.contains(1));

    ports.clear();
    for (const QString& port : present + QStringList{"/dev/pts/3"})
        ports.insert(port, kGeneration);
    QVERIFY(route(sighting(QStringLiteral("/dev/pts/3"), 60001, appl)));
    const SStationUnit& back = *units.back();
    QCOMPARE(back.identity.serial, 60001U);
    QCOMPARE(back.number, 2 + 2 * CStationHistory::kKeptDone);
    QCOMPARE(back.outcome, outcome);
    QCOMPARE(back.done(), !outcome.isEmpty());
}

QTEST_GUILESS_MAIN(tst_StationHistory)
#include "tst_stationhistory.moc"
