#pragma once

#include "device/fanbase.h"
#include "device/records_70.h"
#include "device/seclogreport.h"

// The 70-series device ("ventaro plus"). Same request codes and packet trains as the
// 100 series, with its own records, packet sizes, ventilation-reason names and reports; it
// has no vent, WiFi or credential requests. Keeps no state of its own.
class CFan_70_PC : public CFanBase
{
    Q_OBJECT

public:
    // Reply lengths, code byte included.
    static constexpr int kCurrentStateReplySize = 2 + SPrimLogEntry_70::kSize;
    static constexpr int kPrimLogEntriesPerPacket = 7;
    static constexpr int kPrimLogSlotsOffset = 4;
    static constexpr int kPrimLogReplySize =
        kPrimLogSlotsOffset + kPrimLogEntriesPerPacket * SPrimLogEntry_70::kSize;

    explicit CFan_70_PC(QObject* parent = nullptr);

    // ---- Virtual operations, in the order of the base ------------------------------------
    QString getPrimaryLog() override;
    QString secLogReport(CLogging::EMaxTimeSpan span, bool first10, bool first100, bool last10,
                         bool last100, const QString& caption) override;
    const char* ventReasonName(int reason) const override;
    QString modelName() const override;
    int modelType() const override;
    bool primLogTable(logtable::STable& table) override;
    bool secLogTable(CLogging::EMaxTimeSpan span, report::ESecLogPick pick,
                     logtable::STable& table) override;
    // Replace `entries` with the whole primary log / a selection of a secondary-log ring.
    virtual bool getPrimLog(QVector<SPrimLogEntry_70>& entries);
    virtual bool getSecLog(QVector<SSecLogEntry_70>& entries, CLogging_70::EMaxTimeSpan span,
                           UINT16 count, UINT16 first);

    // ---- Requests ------------------------------------------------------------------------
    // On false `entry` is unchanged.
    [[nodiscard]] bool getCurrentState(SPrimLogEntry_70& entry);
    // Fire-and-forget: true when the link-layer send succeeded.
    [[nodiscard]] bool setSimulationValues(const SHLP_SetSimulationValues_70& values);

private:
    report::ESecLogRead readSecLogTable(CLogging::EMaxTimeSpan span, report::ESecLogPick pick,
                                        logtable::STable& table);
};
static_assert(CFan_70_PC::kPrimLogReplySize == 200, "a primary-log packet is 200 bytes");
