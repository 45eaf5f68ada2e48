// The station's live page: `ventaro-cli station --http` updating simulated units (each a
// ventaro-devsim process on a pty), shown in a real headless Chromium and read over its
// WebSocket and snapshot, while clients that do not behave are refused.

#include "chromium.h"
#include "cliprocess.h"
#include "flashout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

#include <csignal>
#include <memory>
#include <vector>

using namespace clitest;

namespace {

constexpr int kRunTimeoutMs = 180000;

// A station with --http on a free port, and where its page is.
class Station
{
public:
    explicit Station(const Bench& bench, const QStringList& args = {})
    {
        m_Process.setProcessEnvironment(bench.environment());
        m_Process.start(cliPath(), QStringList{"station", "--json", "--http", "0"} + args);
    }
    ~Station()
    {
        if (m_Process.state() != QProcess::NotRunning) {
            m_Process.kill();
            m_Process.waitForFinished(3000);
        }
    }

    // The port the page is served on, once the station says so; 0 if it does not.
    quint16 waitForPort()
    {
        const QRegularExpression at(QStringLiteral("the page is at http://127.0.0.1:(\\d+)/"));
        const bool ended = QTest::qWaitFor(
            [&] {
                m_Err += QString::fromUtf8(m_Process.readAllStandardError());
                return at.match(m_Err).hasMatch() || m_Process.state() == QProcess::NotRunning;
            },
            kTimeoutMs);
        return ended ? quint16(at.match(m_Err).captured(1).toUInt()) : quint16(0);
    }
    // The --json events so far.
    QVector<QJsonObject> events(const QString& name)
    {
        m_Out += QString::fromUtf8(m_Process.readAllStandardOutput());
        return clitest::events(m_Out, name);
    }
    int stop()
    {
        ::kill(pid_t(m_Process.processId()), SIGINT);
        if (!m_Process.waitForFinished(kTimeoutMs))
            return -1;
        m_Out += QString::fromUtf8(m_Process.readAllStandardOutput());
        return m_Process.exitCode();
    }
    QByteArray output() const { return (m_Out + QStringLiteral("\nstderr:\n") + m_Err).toUtf8(); }

private:
    QProcess m_Process;
    QString m_Out, m_Err;
};

// What the server answers to `request` (until it closes the connection).
QByteArray exchange(quint16 port, const QByteArray& request, int timeoutMs = 5000)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs))
        return {};
    socket.write(request);
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < timeoutMs) {
        socket.waitForReadyRead(100);
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

QJsonObject snapshot(quint16 port)
{
    const QByteArray answer = exchange(port, "GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
}

// Rows by unit, without the times that move on their own.
QMap<int, QJsonObject> rowsOf(const QJsonArray& units)
{
    QMap<int, QJsonObject> rows;
    for (const QJsonValue& value : units) {
        QJsonObject row = value.toObject();
        row.remove(QStringLiteral("elapsedMs"));
        rows.insert(row.value(QStringLiteral("unit")).toInt(), row);
    }
    return rows;
}

// The page's rows as the browser holds them.
QMap<int, QJsonObject> pageRows(CChromium& browser, const QString& page)
{
    const QJsonValue rows =
        browser.evaluate(page, QStringLiteral("[...stationPage.rows.values()].map(e => e.row)"));
    return rowsOf(rows.toArray());
}

// A WebSocket reader of the events, as the page is one.
class EventReader
{
public:
    explicit EventReader(quint16 port)
    {
        QObject::connect(&m_Socket, &QWebSocket::textMessageReceived, [this](const QString& t) {
            for (const QJsonValue& frame : QJsonDocument::fromJson(t.toUtf8()).array())
                m_Frames << frame.toObject();
        });
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events").arg(port)));
        m_Socket.open(request);
    }
    const QVector<QJsonObject>& frames() const { return m_Frames; }
    // The snapshot with every frame after it applied, as a page keeps it; false on a gap.
    bool rows(QMap<int, QJsonObject>& rows, qint64& seq) const
    {
        if (m_Frames.isEmpty() ||
            m_Frames[0].value(QStringLiteral("event")).toString() != QLatin1String("snapshot"))
            return false;
        rows = rowsOf(m_Frames[0].value(QStringLiteral("units")).toArray());
        seq = qint64(m_Frames[0].value(QStringLiteral("seq")).toDouble());
        for (int i = 1; i < m_Frames.size(); ++i) {
            const QJsonObject& frame = m_Frames[i];
            const qint64 next = qint64(frame.value(QStringLiteral("seq")).toDouble());
            if (next <= seq && i == 1)
                continue; // sent before the snapshot was taken, and in it
            if (next != ++seq)
                return false;
            if (frame.contains(QStringLiteral("row"))) {
                QJsonObject row = frame.value(QStringLiteral("row")).toObject();
                row.remove(QStringLiteral("elapsedMs"));
                rows.insert(row.value(QStringLiteral("unit")).toInt(), row);
            }
        }
        return true;
    }

private:
    QWebSocket m_Socket;
    QVector<QJsonObject> m_Frames;
};

const QByteArray kUpgrade = "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                            "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                            "Sec-WebSocket-Version: 13\r\n\r\n";

QByteArray statusLine(const QByteArray& answer)
{
    return answer.left(answer.indexOf("\r\n"));
}

} // namespace

class tst_StationPage : public QObject
{
    Q_OBJECT

private slots:
    void pageFollowsTheStation();
    void recordBacklogOnThePage();
    void portInUseIsRefusedUpFront_data();
    void portInUseIsRefusedUpFront();
};

// Two units, one restarting after its swap and one whose new application fails its checksum,
// on a page in English and one in German. Clients that misbehave meanwhile are refused; one page
// loses its connection for a while and, back, shows what the snapshot shows; the frames of a
// WebSocket reader add up to the snapshot.
void tst_StationPage::pageFollowsTheStation()
{
    CChromium browser;
    QString error;
    QVERIFY2(browser.start(error), qPrintable(error));
    Bench bench;
    Station station(bench,
                    {"--http-name", "station.plant", "--http-origin", "https://station.plant"});
    const quint16 port = station.waitForPort();
    QVERIFY2(port > 0, station.output());
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    const QString english = browser.open(url);
    const QString german = browser.open(url + QStringLiteral("?lang=de"));
    QVERIFY(!english.isEmpty() && !german.isEmpty());
    EventReader reader(port);
    QVERIFY(QTest::qWaitFor([&] { return !reader.frames().isEmpty(); }, kTimeoutMs));

    Units units(bench);
    QVERIFY(units.start("u1", kOlderPlus + QStringList{"--serial", "60021", "--reboot-after-swap",
                                                       "0", "--reboot-pause", "500"}));
    QVERIFY(units.start("u2", kOlderPlus + QStringList{"--serial", "60022", "--crc-ko", "3"}));
    QVERIFY2(browser.waitFor(english, "document.querySelectorAll('#atWork .tile').length == 2",
                             kTimeoutMs),
             station.output());

    // While both are updated: a client that never ends its request, more clients than allowed,
    // and requests for what is not there or not to be done.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(slow.waitForConnected(kTimeoutMs));
    slow.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    const struct
    {
        QByteArray request;
        QByteArray status;
    } refused[] = {
        {"GET /../../etc/passwd HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 404 Not Found"},
        {"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
         "HTTP/1.1 404 Not Found"},
        {"GET /station.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 404 Not Found"},
        {"POST /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 4\r\n\r\nstop",
         "HTTP/1.1 405 Method Not Allowed"},
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + QByteArray(20000, 'a') + "\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large"},
        {kUpgrade.chopped(2) + "Origin: http://evil.example\r\n\r\n", "HTTP/1.1 403 Forbidden"},
        // Another site's name resolved to this machine; and a name the station was given, and
        // the page of the proxy in front, both allowed.
        {"GET / HTTP/1.1\r\nHost: rebind.attacker.example\r\n\r\n",
         "HTTP/1.1 421 Misdirected Request"},
        {"GET /api/state HTTP/1.1\r\nHost: rebind.attacker.example:8080\r\n\r\n",
         "HTTP/1.1 421 Misdirected Request"},
        {QByteArray(kUpgrade).replace("127.0.0.1", "rebind.attacker.example").chopped(2) +
             "Origin: http://rebind.attacker.example\r\n\r\n",
         "HTTP/1.1 421 Misdirected Request"},
        {"GET /api/state HTTP/1.1\r\nHost: station.plant\r\n\r\n", "HTTP/1.1 200 OK"},
    };
    for (const auto& r : refused)
        QCOMPARE(statusLine(exchange(port, r.request)), r.status);
    QCOMPARE(statusLine(exchange(
                 port, kUpgrade.chopped(2) + "Origin: https://station.plant\r\n\r\n", 500)),
             QByteArray("HTTP/1.1 101 Switching Protocols"));
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 0; i < 40; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(crowd.back()->waitForConnected(kTimeoutMs));
    }
    QVERIFY(QTest::qWaitFor([&] { return crowd.back()->bytesAvailable() > 0; }, kTimeoutMs));
    QVERIFY(crowd.back()->readAll().startsWith("HTTP/1.1 503"));
    crowd.clear();
    QVERIFY(
        QTest::qWaitFor([&] { return slow.state() != QAbstractSocket::ConnectedState; }, 15000));
    QVERIFY(slow.readAll().startsWith("HTTP/1.1 408"));
    // Pages that come and go (a tab closed, the network gone) leave no connection behind.
    for (int i = 0; i < 40; ++i) {
        QTcpSocket passing;
        passing.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(passing.waitForConnected(kTimeoutMs));
        passing.write(kUpgrade);
        QVERIFY(QTest::qWaitFor([&] { return passing.bytesAvailable() > 0; }, kTimeoutMs));
        QVERIFY(passing.readAll().startsWith("HTTP/1.1 101"));
        passing.abort();
    }
    QVERIFY(QTest::qWaitFor([&] { return snapshot(port).contains(QStringLiteral("units")); },
                            kTimeoutMs));

    // Both pages lose their connection for three seconds and miss what happens meanwhile; a
    // second without it, they are greyed and say since when they know nothing.
    const QString lose = QStringLiteral("stationPage.reconnectDelayMs = 3000; "
                                        "stationPage.unreachableAfterMs = 1000; "
                                        "stationPage.socket.close(); stationPage.seq");
    const double seqAtClose = browser.evaluate(english, lose).toDouble();
    browser.evaluate(german, lose);
    const QString greyed = QStringLiteral(
        "document.body.classList.contains('unreachable') && "
        "getComputedStyle(document.querySelector('main')).filter.includes('grayscale')");
    const QString lastEvent = QStringLiteral(
        "new Date(stationPage.lastEventAt).toLocaleTimeString(document.documentElement.lang)");
    const QString bannerText = QStringLiteral("document.getElementById('banner').innerText");
    for (const auto& [page, expected] :
         {std::pair(english, QStringLiteral("The station cannot be reached. Last event at ")),
          std::pair(german,
                    QStringLiteral("Die Station ist nicht erreichbar. Letztes Ereignis um "))}) {
        QVERIFY(browser.waitFor(page, greyed, kTimeoutMs));
        QCOMPARE(browser.evaluate(page, bannerText).toString(),
                 expected + browser.evaluate(page, lastEvent).toString());
    }
    for (const QString& page : {english, german}) {
        QVERIFY(browser.waitFor(page, "stationPage.connects == 2", kTimeoutMs));
        QVERIFY(
            browser.waitFor(page, "!document.body.classList.contains('unreachable')", kTimeoutMs));
    }
    QVERIFY2(browser.evaluate(english, "stationPage.seq").toDouble() > seqAtClose + 1,
             "nothing happened while the page was away");

    QVERIFY2(QTest::qWaitFor([&] { return station.events("done").size() == 2; }, kRunTimeoutMs),
             station.output());
    QCOMPARE(station.events("unit").size(), 2); // the restarted unit stayed one unit
    const QJsonObject state = snapshot(port);
    const double seq = state.value(QStringLiteral("seq")).toDouble();
    for (const QString& page : {english, german})
        QVERIFY(
            browser.waitFor(page, QStringLiteral("stationPage.seq == %1").arg(seq), kTimeoutMs));
    const QMap<int, QJsonObject> rows = rowsOf(state.value(QStringLiteral("units")).toArray());
    QCOMPARE(rows.size(), 2);
    QCOMPARE(pageRows(browser, english), rows);
    QCOMPARE(pageRows(browser, german), rows);
    QMap<int, QJsonObject> read;
    qint64 readSeq = 0;
    QVERIFY2(reader.rows(read, readSeq), "the frames have a gap");
    QCOMPARE(readSeq, qint64(seq));
    QCOMPARE(read, rows);
    // A WebSocket opened now begins with what the snapshot says.
    EventReader late(port);
    QVERIFY(QTest::qWaitFor([&] { return !late.frames().isEmpty(); }, kTimeoutMs));
    QMap<int, QJsonObject> lateRows;
    qint64 lateSeq = 0;
    QVERIFY(late.rows(lateRows, lateSeq));
    QCOMPARE(lateRows, rows);
    QCOMPARE(late.frames()[0].value(QStringLiteral("summary")),
             state.value(QStringLiteral("summary")));

    // What the screen shows.
    const QJsonObject summary = state.value(QStringLiteral("summary")).toObject();
    QCOMPARE(summary.value(QStringLiteral("seen")).toInt(), 2);
    QCOMPARE(summary.value(QStringLiteral("updated")).toInt(), 1);
    QCOMPARE(summary.value(QStringLiteral("failed")).toInt(), 1);
    QCOMPARE(summary.value(QStringLiteral("firstPassYield")).toDouble(), 50.0);
    const QString outcomes = QStringLiteral(
        "[...document.querySelectorAll('#finished .tile')].map(t => t.dataset.serial + ' ' + "
        "t.dataset.outcome).sort().join(', ')");
    QCOMPARE(browser.evaluate(english, outcomes).toString(),
             QStringLiteral("60021 updated, 60022 verify-failed"));
    const QString text = QStringLiteral("document.body.innerText");
    const QString shownEnglish = browser.evaluate(english, text).toString();
    QVERIFY2(shownEnglish.contains(QStringLiteral("Updated - unplug")) &&
                 shownEnglish.contains(QStringLiteral("Not confirmed by the unit")) &&
                 shownEnglish.contains(
                     QStringLiteral("switch the unit off and on, plug it in again to repeat")) &&
                 shownEnglish.contains(QStringLiteral("50 %")),
             qPrintable(shownEnglish));
    const QString shownGerman = browser.evaluate(german, text).toString();
    QVERIFY2(shownGerman.contains(QStringLiteral("Aktualisiert - abstecken")) &&
                 shownGerman.contains(QStringLiteral("Vom Gerät nicht bestätigt")) &&
                 shownGerman.contains(QStringLiteral(
                     "Gerät aus- und einschalten, zum Wiederholen wieder anstecken")) &&
                 shownGerman.contains(QStringLiteral("Erstdurchlaufquote")),
             qPrintable(shownGerman));

    // The updates themselves did not suffer.
    const QVector<QJsonObject> done = station.events("done");
    QMap<int, int> exitCodes;
    for (const QJsonObject& d : done)
        exitCodes.insert(d.value(QStringLiteral("serial")).toInt(),
                         d.value(QStringLiteral("exitCode")).toInt());
    QCOMPARE(exitCodes.value(60021, -1), 0);
    QCOMPARE(exitCodes.value(60022, -1), 14);
    flashout::verifyPlusUpdate(bench.path("u1"));
    QCOMPARE(station.stop(), 13);
    // The page learns that the station ended.
    QVERIFY(browser.waitFor(english, "stationPage.ended", kTimeoutMs));
}

// The record's lines pile up while its database does not take them, then fall as it takes them
// again: the screen says so plainly while they grow, in English and in German. (The frames are
// the station's, with their figures as a station without units would send them.)
void tst_StationPage::recordBacklogOnThePage()
{
    CChromium browser;
    QString error;
    QVERIFY2(browser.start(error), qPrintable(error));
    Bench bench;
    Station station(bench);
    const quint16 port = station.waitForPort();
    QVERIFY2(port > 0, station.output());
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    const QString english = browser.open(url);
    const QString german = browser.open(url + QStringLiteral("?lang=de"));
    QVERIFY(!english.isEmpty() && !german.isEmpty());
    const QString record = QStringLiteral(
        "(document.getElementById('record').classList.contains('growing') ? 'growing: ' : '') + "
        "document.getElementById('record').innerText");
    const struct
    {
        int waiting;
        QString english, german;
    } steps[] = {
        {1,
         "growing: record lines waiting for the database: 1 - more and more: the database does "
         "not take them\nrecord: 1 line waits for the database (down)",
         "growing: Protokollzeilen warten auf die Datenbank: 1 - es werden mehr: die Datenbank "
         "nimmt sie nicht an\nrecord: 1 line waits for the database (down)"},
        {3,
         "growing: record lines waiting for the database: 3 - more and more: the database does "
         "not take them\nrecord: 3 lines wait for the database (down)",
         "growing: Protokollzeilen warten auf die Datenbank: 3 - es werden mehr: die Datenbank "
         "nimmt sie nicht an\nrecord: 3 lines wait for the database (down)"},
        {2,
         "record lines waiting for the database: 2\nrecord: 2 lines wait for the database (down)",
         "Protokollzeilen warten auf die Datenbank: 2\nrecord: 2 lines wait for the database "
         "(down)"},
        {0, "", ""},
    };
    for (const QString& page : {english, german})
        QVERIFY(browser.waitFor(page, "stationPage.connects == 1", kTimeoutMs));
    for (const auto& step : steps) {
        for (const auto& [page, expected] :
             {std::pair(english, step.english), std::pair(german, step.german)}) {
            const QString frame =
                QStringLiteral(
                    "take({event: 'record', waiting: %1, seq: stationPage.seq + 1, at: Date.now(), "
                    "ended: false, summary: Object.assign({}, stationPage.summary, "
                    "{recordWaiting: %1, recordText: 'record: %1 line%2 for the database (down)'})"
                    "}); redraw(); true")
                    .arg(step.waiting)
                    .arg(step.waiting == 1 ? QStringLiteral(" waits") : QStringLiteral("s wait"));
            QVERIFY(browser.evaluate(page, frame).toBool());
            QCOMPARE(browser.evaluate(page, record).toString(), expected);
        }
    }
}

void tst_StationPage::portInUseIsRefusedUpFront_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::newRow("station") << QStringList{"station"};
    QTest::newRow("update --all") << QStringList{"update", "--all"};
}

// A page that cannot be served ends the run before it touches a unit.
void tst_StationPage::portInUseIsRefusedUpFront()
{
    QFETCH(QStringList, command);
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    Bench bench;
    Units units(bench);
    QVERIFY(units.start("u1", kOlderPlus + QStringList{"--serial", "60031"}));
    const CliResult r = bench.run(
        command + QStringList{"--http", QStringLiteral("127.0.0.1:%1").arg(taken.serverPort())});
    QVERIFY2(r.exitCode == 15, describe(r));
    QVERIFY2(r.err.contains(QStringLiteral("the page cannot be served")), describe(r));
    QVERIFY(r.out.isEmpty());
    QFile flashed(QDir(bench.path("u1")).filePath(QStringLiteral("flashed.txt")));
    QVERIFY(!flashed.open(QIODevice::ReadOnly) || !flashed.readAll().contains("block="));
}

QTEST_GUILESS_MAIN(tst_StationPage)
#include "tst_stationpage.moc"
