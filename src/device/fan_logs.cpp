// Log retrieval of the 100-series device: the primary log and the secondary-log rings.
#include "fan.h"

#include "device/fanbase_logs.h"

namespace {
constexpr SLogTrainLayout kPrimLogLayout{2, 4, 7};
constexpr int kPrimLogReplySize = 4 + 7 * SPrimLogEntry::kSize; // 186
} // namespace

bool CFan::getPrimLog(QVector<SPrimLogEntry>& entries)
{
    return requestPrimLog(entries, kPrimLogLayout, kPrimLogReplySize, "CFan");
}

bool CFan::getSecLog(QVector<SSecLogEntry>& entries, CLogging::EMaxTimeSpan span, UINT16 count,
                     UINT16 first)
{
    return requestSecLog(entries, span, count, first, "CFan", "SSecLogEntry");
}
