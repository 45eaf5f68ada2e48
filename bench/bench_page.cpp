// A long shift at the station with its page open: the coordinator's parts (routing, the units,
// what is kept of finished attempts, the figures, the page and its server) fed attempts from a
// synthetic source, 16 units at a time, each with its steps, progress and result, while one
// WebSocket client (in a thread of its own) takes every message. No devices and no processes.
// Prints the resident memory and the coordinator's processor time per event around 1,000
// attempts and at the end; flat over a shift, the two are close.
//
//     build/bench/bench_page [ATTEMPTS]      default: 100000

#include "record/recordbacklog.h"
#include "service/exitcodes.h"
#include "station/stationhistory.h"
#include "station/stationpage.h"
#include "station/stationprotocol.h"
#include "station/stationrouter.h"
#include "station/stationunit.h"
#include "web/pagenames.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonObject>
#include <QTextStream>
#include <QThread>
#include <QWebSocket>

#include <atomic>
#include <cstdio>
#include <ctime>

#include <malloc.h>
#include <unistd.h>

namespace proto = stationprotocol;
using stationrouting::SSighting;
using stationrouting::SUnitRow;

namespace {

constexpr int kAtOnce = 16;
constexpr int kProgressPerStep = 4;
const char* const kSteps[] = {"application", "reboot-pause", "bootloader"};

double threadCpuUs()
{
    timespec t = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// The page's reader, as a browser is one: it connects again when it was dropped.
class Reader : public QObject
{
public:
    explicit Reader(quint16 port) : m_Port(port) {}
    void start()
    {
        m_Socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
        connect(m_Socket, &QWebSocket::textMessageReceived, this, [this](const QString& message) {
            ++messages;
            bytes += message.size();
        });
        connect(m_Socket, &QWebSocket::disconnected, this, [this] {
            ++drops;
            m_Socket->open(url());
        });
        m_Socket->open(url());
    }
    void stop()
    {
        m_Socket->disconnect(this);
        delete m_Socket;
    }
    std::atomic<long> messages{0}, bytes{0}, drops{0};

private:
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events").arg(m_Port)); }
    quint16 m_Port;
    QWebSocket* m_Socket = nullptr;
};

// One attempt's events, as its worker sends them.
QVector<QJsonObject> workerEvents(quint32 serial, int number)
{
    QVector<QJsonObject> events;
    for (const char* step : kSteps) {
        events.push_back({{QLatin1String(proto::kEvent), QLatin1String(proto::kStepEvent)},
                          {QLatin1String(proto::kStep), QLatin1String(step)}});
        for (int i = 1; i <= kProgressPerStep; ++i)
            events.push_back({{QLatin1String(proto::kEvent), QLatin1String(proto::kProgressEvent)},
                              {QLatin1String(proto::kPercent), 100 * i / kProgressPerStep}});
    }
    // One in fifty fails.
    const bool failed = number % 50 == 0;
    events.push_back(
        {{QLatin1String(proto::kEvent), QLatin1String(proto::kResultEvent)},
         {QLatin1String(proto::kOutcome),
          failed ? QStringLiteral("verify-failed") : QStringLiteral("updated")},
         {QLatin1String(proto::kText),
          failed ? QStringLiteral("application %1 not confirmed").arg(serial) : QString()},
         {QLatin1String(proto::kBootAfter), QStringLiteral("2.24.B")},
         {QLatin1String(proto::kApplAfter), QStringLiteral("2.24")},
         {QLatin1String(proto::kWifiAfter), QStringLiteral("3.05")}});
    return events;
}

struct SWindow
{
    long fromAttempt = 0, toAttempt = 0;
    long events = 0;
    double cpuUs = 0;
    long rssKb = 0;
    long heapKb = 0;
};

} // namespace

int main(int argc, char** argv)
{
    // The bench runs far faster than any line, so the page's messages are large (hundreds of
    // kilobytes, every 20 ms): with the allocator's threshold for mapping big blocks fixed, they
    // are given back when freed and the resident size shows what is kept, not their high-water
    // mark.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    QCoreApplication app(argc, argv);
    const long attempts = argc > 1 ? std::max(2000L, std::atol(argv[1])) : 100000L;

    CStationPage::SUnits units;
    CStationHistory history;
    QElapsedTimer clock;
    clock.start();
    CStationPage page(
        units, [&] { return history.summary(units, {}, false); }, clock, QStringLiteral("bench"),
        CPageNames({}, {}));
    QString error;
    if (!page.listen(QStringLiteral("127.0.0.1"), 0, error)) {
        std::fprintf(stderr, "bench_page: %s\n", qPrintable(error));
        return 1;
    }
    CRecordBacklog record{QString(), QString(), QString()};
    QString errors;
    QTextStream err(&errors);
    auto done = [&](SStationUnit& unit) {
        unit.state = SUnitRow::EDone;
        unit.durationMs = unit.clock.elapsed();
        history.ended(unit);
        page.event(&unit, {{QStringLiteral("event"), QStringLiteral("done")},
                           {QStringLiteral("exitCode"), unit.exitCode},
                           {QStringLiteral("outcome"), unit.outcome},
                           {QStringLiteral("text"), unit.doneText()},
                           {QStringLiteral("durationMs"), unit.durationMs}});
    };
    CStationRouter router(CStationRouter::SParts{units, history, page, record, err, QString(),
                                                 QString(), [&](SStationUnit& unit, int code) {
                                                     unit.exitCode = code;
                                                     done(unit);
                                                 }});

    QThread readerThread;
    Reader reader(page.port());
    reader.moveToThread(&readerThread);
    readerThread.start();
    QMetaObject::invokeMethod(&reader, [&reader] { reader.start(); });
    while (reader.messages == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    QSet<QString> startPorts;
    QHash<QString, quint64> present;
    CStationRouter::SRun run;
    run.stationMode = true;
    run.startPorts = &startPorts;
    run.present = &present;
    struct SSlot
    {
        SStationUnit* unit = nullptr;
        QVector<QJsonObject> events;
        int next = 0;
    } busy[kAtOnce];
    quint64 generation = 0;
    long started = 0, finished = 0, events = 0;
    SWindow early{500, 1500}, late{attempts - 1000, attempts};
    SWindow* window = nullptr;
    double windowStartUs = 0;
    long windowStartEvents = 0;
    while (finished < attempts) {
        // The window this stretch belongs to, by attempts finished.
        SWindow* now = finished >= early.fromAttempt && finished < early.toAttempt ? &early
                       : finished >= late.fromAttempt                              ? &late
                                                                                   : nullptr;
        if (now != window) {
            if (window) {
                window->cpuUs += threadCpuUs() - windowStartUs;
                window->events += events - windowStartEvents;
                window->rssKb = residentKb();
                window->heapKb = long(mallinfo2().uordblks / 1024);
            }
            window = now;
            windowStartUs = threadCpuUs();
            windowStartEvents = events;
        }
        for (int s = 0; s < kAtOnce; ++s) {
            SSlot& slot = busy[s];
            const QString port = QStringLiteral("/dev/ttyACM%1").arg(s);
            if (!slot.unit) {
                if (started >= attempts)
                    continue;
                // A new unit on this port.
                ++started;
                SSighting seen;
                seen.port = port;
                seen.generation = ++generation;
                seen.identity = {true, quint32(100000 + started), 3};
                present.insert(port, seen.generation);
                SHLP_IdentData ident;
                ident.m_SerialNo = seen.identity.serial;
                ident.m_BoardVersion = 3;
                ident.m_Features = 0x0001;
                router.route(seen, &ident, run);
                slot.unit = units.back().get();
                slot.unit->state = SUnitRow::ERunning;
                slot.unit->step = QStringLiteral("starting");
                slot.unit->clock.start();
                page.event(slot.unit, {{QStringLiteral("event"), QStringLiteral("started")}});
                slot.events = workerEvents(seen.identity.serial, int(started));
                slot.next = 0;
                events += 2;
                continue;
            }
            if (slot.next < slot.events.size()) {
                QJsonObject event = slot.events[slot.next++];
                slot.unit->apply(event);
                event.insert(QStringLiteral("workerMs"), clock.elapsed());
                page.event(slot.unit, event);
                ++events;
                continue;
            }
            slot.unit->workerEnded(slot.unit->outcome == QLatin1String("updated")
                                       ? cliexit::kOk
                                       : cliexit::kNotVerified,
                                   QString(), QString());
            done(*slot.unit);
            slot.unit = nullptr;
            ++finished;
            ++events;
        }
        // The coordinator's loop: the page's messages go out, the tick refreshes and prunes.
        if (events % 64 < kAtOnce) {
            QCoreApplication::processEvents();
            page.refresh(units);
            history.prune(units, page);
        }
        if (finished > 0 && finished % 10000 == 0 && events % 64 < kAtOnce)
            std::fprintf(stderr, "  %ld attempts, %ld kB\r", finished, residentKb());
    }
    if (window) {
        window->cpuUs += threadCpuUs() - windowStartUs;
        window->events += events - windowStartEvents;
        window->rssKb = residentKb();
        window->heapKb = long(mallinfo2().uordblks / 1024);
    }
    const SStationSummary sum = history.summary(units, {}, true);
    QMetaObject::invokeMethod(
        &reader, [&reader] { reader.stop(); }, Qt::BlockingQueuedConnection);
    readerThread.quit();
    readerThread.wait();
    std::printf("%ld attempts, %ld events, 16 at a time, one page open (%ld messages, %.1f MB, "
                "%ld drops); %zu rows kept, %d updated, %d failed\n",
                attempts, events, long(reader.messages), double(reader.bytes) / 1e6,
                long(reader.drops), units.size(), sum.updated, sum.failures);
    for (const SWindow* w : {&early, &late})
        std::printf("  attempts %6ld-%6ld: resident %6ld kB (heap in use %6ld kB), coordinator "
                    "%.1f us per event\n",
                    w->fromAttempt, w->toAttempt, w->rssKb, w->heapKb,
                    w->events > 0 ? w->cpuUs / double(w->events) : 0.0);
    return 0;
}
