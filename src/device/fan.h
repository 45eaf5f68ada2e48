#pragma once

#include "device/fanbase.h"
#include "device/primlogentry.h"
#include "device/seclogreport.h"
#include "device/ventinfo.h"

struct SSecLogEntry;

// The 100-series device ("ventaro100"). Keeps no state of its own: port, wire and counters
// live in the base.
class CFan : public CFanBase
{
    Q_OBJECT

public:
    // Lengths of the 100-series replies, code byte included.
    static constexpr int kCurrentStateReplySize = 2 + SPrimLogEntry::kSize;
    static constexpr int kVentInfoReplySize = 2 + CVents::kVentCount * CVents::SVentInfo::kSize;
    static constexpr int kWifiDataReplySize = 170;
    static constexpr int kCredentialsRecordSize = 200;

    explicit CFan(QObject* parent = nullptr);

    // ---- Virtual operations, in the order of the base ------------------------------------
    QString getPrimaryLog() override;
    QString secLogReport(CLogging::EMaxTimeSpan span, bool first10, bool first100, bool last10,
                         bool last100, const QString& caption) override;
    QString modelName() const override;
    int modelType() const override;
    bool primLogTable(logtable::STable& table) override;
    bool secLogTable(CLogging::EMaxTimeSpan span, report::ESecLogPick pick,
                     logtable::STable& table) override;
    // Replace `entries` with the whole primary log / a selection of a secondary-log ring.
    virtual bool getPrimLog(QVector<SPrimLogEntry>& entries);
    virtual bool getSecLog(QVector<SSecLogEntry>& entries, CLogging::EMaxTimeSpan span,
                           UINT16 count, UINT16 first);

    // ---- Current state -------------------------------------------------------------------
    // On false `entry` is unchanged.
    [[nodiscard]] bool getCurrentState(SPrimLogEntry& entry);

    // ---- Vents, WiFi and simulation ------------------------------------------------------
    // Fire-and-forget requests: true when the link-layer send succeeded.
    [[nodiscard]] bool moveVent(const SHLP_MoveVent& request);
    [[nodiscard]] bool setSimulationValues(const SHLP_SetSimulationValues& values);
    // Texts are sent as Latin-1; limits 25, 25, 20, 49, 49, 25 characters. A longer text
    // refuses the request before anything is sent. `bytes` points to four bytes (may be null:
    // zeros are sent).
    [[nodiscard]] bool setNetworkCredentials(const QString& text1, const QString& text2,
                                             const QString& text3, const QString& text4,
                                             const QString& text5, const QString& text6,
                                             quint8 byteParam, quint8* bytes);
    // Fills info[0..3]: extract, second room, supply, bypass. Outputs unchanged on false.
    [[nodiscard]] bool getVentInfo(CVents::SVentInfo* info);
    // Received signal strength of the WiFi module in dBm.
    [[nodiscard]] bool getWifiData(qint8& rssi);
    // As getWifiData; both debug bytes are always set to 0 on success.
    [[nodiscard]] bool getWifiDataDebug(qint8& rssi, quint8& debug1, quint8& debug2);

signals:
    void signalUpdateWlanTabAndOKMsg();
    void signalEnableButtons();
    void signalNOKMsg();
    void signalDelNOKMsg();
    void signalDelOKMsg();

private:
    report::ESecLogRead readSecLogTable(CLogging::EMaxTimeSpan span, report::ESecLogPick pick,
                                        logtable::STable& table);
    [[nodiscard]] bool readWifiRssi(qint8& rssi);
};
