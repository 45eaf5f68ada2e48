// The production record's outside inputs: a --record URI, a spool file left by other processes,
// a CSV record file read for its figures, and one brought forward by `record init`. The first
// byte picks the reader (modulo 4); the rest is the input.
#include "record/productionrecord.h"
#include "record/recordspool.h"
#include "record/recordstats.h"
#include "record/recorduri.h"

#include "fuzzsupport.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>

namespace {

void uri(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    SRecordUri parsed;
    QString error;
    if (!recorduri::parse(text, parsed, error)) {
        if (error.isEmpty())
            std::abort(); // a refusal always says why
        return;
    }
    if (parsed.port < 0 || parsed.port > 65535)
        std::abort();
    // What is shown parses back to the same place.
    SRecordUri again;
    if (!recorduri::parse(parsed.text(), again, error) || again.user != parsed.user ||
        again.host != parsed.host || again.port != parsed.port || again.database != parsed.database)
        std::abort();
    // The spool it names is the same however it is written.
    if (again.identity() != parsed.identity())
        std::abort();
}

// The rows of an older file given the columns of this release: each row ends in a line break
// with a quote left open by a tear closed, so doing it again changes nothing.
void upgrade(const QByteArray& bytes)
{
    const int columns = 1 + bytes.size() % 23;
    int rows = 0, torn = 0;
    const QByteArray once = productionrecord::padRows(bytes, 0, columns, rows, torn);
    if (torn > 1 || rows < torn || (!once.isEmpty() && !once.endsWith('\n')))
        std::abort();
    int again = 0, tornAgain = 0;
    if (productionrecord::padRows(once, 0, columns, again, tornAgain) != once || again != rows ||
        tornAgain != 0)
        std::abort();
}

void spool(const QByteArray& bytes)
{
    int skipped = 0;
    QSet<QUuid> ids;
    for (const SSpoolEntry& entry : recordspool::pending(bytes, &skipped)) {
        if (entry.attemptId.isNull() || ids.contains(entry.attemptId))
            std::abort();
        ids.insert(entry.attemptId);
        // An entry written again reads back the same.
        const QVector<SSpoolEntry> back = recordspool::pending(recordspool::entryLine(entry));
        if (back.size() != 1 || back[0].values != entry.values || back[0].host != entry.host)
            std::abort();
    }
    if (skipped < 0)
        std::abort();
}

void csv(const QByteArray& bytes)
{
    QVector<SAttempt> attempts;
    QString error;
    if (!recordstats::readCsv(bytes, attempts, error))
        return;
    const SStats stats = recordstats::compute(attempts, SStatsFilter());
    const SFigures& f = stats.all;
    if (f.units != f.updated + f.upToDate + f.failed || f.units > attempts.size() ||
        f.firstPassYield < 0 || f.firstPassYield > 1 || f.lastPassYield < 0 || f.lastPassYield > 1)
        std::abort();
    int perStation = 0;
    for (const SStats::SStation& station : stats.stations)
        perStation += station.figures.units;
    if (perStation < f.units)
        std::abort(); // a unit counts at each station it was seen at
    (void)recordstats::text(stats);
    (void)recordstats::json(stats);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    switch (data[0] % 4) {
    case 0:
        uri(bytes);
        break;
    case 1:
        spool(bytes);
        break;
    case 3:
        upgrade(bytes);
        break;
    default:
        csv(bytes);
        break;
    }
    return 0;
}
