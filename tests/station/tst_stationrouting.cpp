// Where the station sends a port it has looked at: one table of unit rows, one sighting, one
// decision, without processes.

#include "station/stationrouting.h"

#include <QtTest>

using namespace stationrouting;

Q_DECLARE_METATYPE(stationrouting::SRoute)
Q_DECLARE_METATYPE(stationrouting::SSighting)
Q_DECLARE_METATYPE(stationrouting::SContext)
Q_DECLARE_METATYPE(std::vector<stationrouting::SUnitRow>)

namespace {

constexpr quint32 kSerial = 60001;

SUnitIdentity plus(quint32 serial)
{
    return {true, serial, 3};
}

// Every port below is of generation 1 unless it was made anew (renewed).
SUnitRow row(SUnitRow::EState state, const QString& port, quint32 serial = kSerial)
{
    SUnitRow r;
    r.state = state;
    r.port = port;
    r.generation = 1;
    r.identity = state == SUnitRow::ENoAnswer ? SUnitIdentity() : plus(serial);
    return r;
}

// Done, updated here, reporting what its update left on it.
SUnitRow updatedRow(const QString& port)
{
    SUnitRow r = row(SUnitRow::EDone, port);
    r.updated = true;
    r.bootAfter = QStringLiteral("2.24.B");
    r.applAfter = QStringLiteral("2.24");
    r.wifiAfter = QStringLiteral("3.05");
    return r;
}

SSighting identified(const QString& port, quint32 serial = kSerial,
                     const QString& appl = QStringLiteral("2.24"))
{
    SSighting s;
    s.port = port;
    s.generation = 1;
    s.identity = plus(serial);
    s.boot = QStringLiteral("2.24.B");
    s.appl = appl;
    s.wifi = QStringLiteral("3.05");
    return s;
}

SSighting lost(SSighting::EKind kind, const QString& port)
{
    SSighting s;
    s.kind = kind;
    s.port = port;
    return s;
}

SContext at(const QStringList& present, bool takesNew = true, bool station = false)
{
    SContext c;
    c.takesNewUnits = takesNew;
    c.stationMode = station;
    for (const QString& port : present)
        c.present.insert(port, 1);
    return c;
}

// The kernel handed `port` to another unit since the rows were made.
SContext renewed(SContext c, const QString& port)
{
    c.present.insert(port, 2);
    return c;
}

} // namespace

class tst_StationRouting : public QObject
{
    Q_OBJECT

private slots:
    void route_data();
    void route();
};

void tst_StationRouting::route_data()
{
    QTest::addColumn<std::vector<SUnitRow>>("units");
    QTest::addColumn<SSighting>("seen");
    QTest::addColumn<SContext>("context");
    QTest::addColumn<SRoute>("expected");

    const QString a = QStringLiteral("/dev/pts/1"), b = QStringLiteral("/dev/pts/2");
    using S = SUnitRow;
    QTest::addRow("new unit") << std::vector<S>{} << identified(a) << at({a})
                              << SRoute{EAction::ENewUnit, -1, -1};
    QTest::addRow("--all: a port not there at the start")
        << std::vector<S>{} << identified(a) << at({a}, false) << SRoute{EAction::EIgnore, -1, -1};
    // A start port whose file goes away before it answered must not be waited for forever.
    QTest::addRow("--all: start port vanishes unanswered")
        << std::vector<S>{} << lost(SSighting::EVanished, a) << at({})
        << SRoute{EAction::ENoAnswer, -1, -1};
    QTest::addRow("station: a port passing by")
        << std::vector<S>{} << lost(SSighting::EVanished, a) << at({}, true, true)
        << SRoute{EAction::EIgnore, -1, -1};
    QTest::addRow("station: a port that never answers")
        << std::vector<S>{} << lost(SSighting::EUnanswered, a) << at({a}, true, true)
        << SRoute{EAction::ENoAnswer, -1, -1};
    // Two units with one serial number at the start of --all: neither takes the other's place.
    QTest::addRow("duplicate of a queued unit")
        << std::vector<S>{row(S::EQueued, a)} << identified(b) << at({a, b})
        << SRoute{EAction::EDuplicate, 0, -1};
    QTest::addRow("duplicate of a unit at work")
        << std::vector<S>{row(S::ERunning, a)} << identified(b) << at({a, b}, false)
        << SRoute{EAction::EDuplicate, 0, -1};
    // Its worker waits, but its old port is still there: that is another unit.
    QTest::addRow("duplicate of a waiting unit still plugged in")
        << std::vector<S>{row(S::EWaiting, a)} << identified(b) << at({a, b})
        << SRoute{EAction::EDuplicate, 0, -1};
    QTest::addRow("duplicate of a unit done and still plugged in")
        << std::vector<S>{updatedRow(a)} << identified(b) << at({a, b}, true, true)
        << SRoute{EAction::EDuplicate, 0, -1};
    // The kernel gave its old name to the next unit while it restarted: that is no twin.
    QTest::addRow("back after its restart, its old name taken by another unit")
        << std::vector<S>{row(S::EWaiting, a)} << identified(b) << renewed(at({a, b}), a)
        << SRoute{EAction::EHandOver, 0, -1};
    QTest::addRow("failed unit retried on another socket, its old name taken")
        << std::vector<S>{row(S::EDone, a)} << identified(b) << renewed(at({a, b}, true, true), a)
        << SRoute{EAction::ENewUnit, -1, -1};
    QTest::addRow("back after its restart, under another name")
        << std::vector<S>{row(S::EWaiting, a)} << identified(b) << at({b}, false)
        << SRoute{EAction::EHandOver, 0, -1};
    QTest::addRow("back after its restart, under the same name")
        << std::vector<S>{row(S::EWaiting, a)} << identified(a) << at({a}, false)
        << SRoute{EAction::EHandOver, 0, -1};
    QTest::addRow("plugged in again while queued")
        << std::vector<S>{row(S::EDone, a, 60009), row(S::EQueued, a)} << identified(b)
        << at({b}, false) << SRoute{EAction::ERequeue, 1, -1};
    // Without a serial number units cannot be told apart: never merged, never duplicates.
    QTest::addRow("no serial number") << std::vector<S>{row(S::EQueued, a, 0)} << identified(b, 0)
                                      << at({a, b}) << SRoute{EAction::ENewUnit, -1, -1};
    QTest::addRow("plugged in again as its update left it")
        << std::vector<S>{updatedRow(a)} << identified(b) << at({b}, true, true)
        << SRoute{EAction::EUpToDate, 0, -1};
    QTest::addRow("plugged in again with other versions")
        << std::vector<S>{updatedRow(a)} << identified(b, kSerial, QStringLiteral("2.20"))
        << at({b}, true, true) << SRoute{EAction::ENewUnit, -1, -1};
    // A slow unit that did not answer, then did: the port's no-answer no longer counts.
    QTest::addRow("back after no-answer")
        << std::vector<S>{row(S::ENoAnswer, a)} << identified(a) << at({a}, true, true)
        << SRoute{EAction::ENewUnit, -1, 0};
    QTest::addRow("ending: no new unit, but a hand-over")
        << std::vector<S>{row(S::EWaiting, a), row(S::EDone, b, 60002)} << identified(b)
        << at({b}, false) << SRoute{EAction::EHandOver, 0, -1};
}

void tst_StationRouting::route()
{
    QFETCH(std::vector<SUnitRow>, units);
    QFETCH(SSighting, seen);
    QFETCH(SContext, context);
    QFETCH(SRoute, expected);
    const SRoute got = stationrouting::route(units, seen, context);
    QCOMPARE(int(got.action), int(expected.action));
    QCOMPARE(got.unit, expected.unit);
    QCOMPARE(got.supersedes, expected.supersedes);
}

QTEST_GUILESS_MAIN(tst_StationRouting)
#include "tst_stationrouting.moc"
