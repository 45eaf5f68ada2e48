// Log retrieval of the 70-series device: the same trains as the 100 series, with 28-byte
// primary entries in 200-byte packets.
#include "fan_70_pc.h"

#include "device/fanbase_logs.h"

namespace {
constexpr SLogTrainLayout kPrimLogLayout{2, CFan_70_PC::kPrimLogSlotsOffset,
                                         CFan_70_PC::kPrimLogEntriesPerPacket};
} // namespace

bool CFan_70_PC::getPrimLog(QVector<SPrimLogEntry_70>& entries)
{
    return requestPrimLog(entries, kPrimLogLayout, kPrimLogReplySize, "CFan_70_PC");
}

bool CFan_70_PC::getSecLog(QVector<SSecLogEntry_70>& entries, CLogging_70::EMaxTimeSpan span,
                           UINT16 count, UINT16 first)
{
    return requestSecLog(entries, span, count, first, "CFan_70_PC", "SSecLogEntry_70");
}
