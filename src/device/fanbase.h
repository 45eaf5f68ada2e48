#pragma once

#include "device/hlprecords.h"
#include "device/logging.h"
#include "device/logtable.h"
#include "device/perscounter.h"
#include "device/reportcolumns.h"
#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"
#include "link/lltypes.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class CLLProtocol;
class CLLProtocolPacket;
class CLLProtocolWire;
class QProgressBar;
class QSerialPort;
class QTextEdit;

// The tool's object for one connected ventilation device: owns the serial port and the wire
// over it, puts high-level requests into link-layer packets and checks their replies. The two
// device models derive from it. Every request blocks the calling (GUI) thread for the length of
// its exchange; a request returns false at once, logging nothing, while no device is connected.
struct SLogTrainLayout;

class CFanBase : public QObject
{
    Q_OBJECT

public:
    // Identification repeats its request for this long before it gives up.
    static constexpr qint64 kIdentRetryWindowMs = 10000;
    // Upper bound for the bytes thrown away right after a port is opened.
    static constexpr int kDrainMaxBytes = 64 * 1024;
    static constexpr qint32 kBaudRate = 9600;

    explicit CFanBase(QObject* parent = nullptr);
    ~CFanBase() override;

    // ---- Connection ----------------------------------------------------------------------
    // Not owned; device debug text is appended to it during identification, one-byte requests,
    // the serial number and the firmware operations.
    void setDebugOutput(QTextEdit* output) { m_DebugOutput = output; }
    QTextEdit* debugOutput() const { return m_DebugOutput; }
    // The open port's name (the full path it was opened by), else empty.
    QString portName() const;
    // Opens the named port (a full path such as /dev/ttyACM0) and creates the wire over it;
    // an empty name closes. True when the port is open afterwards.
    bool connectPort(const QString& portName);
    // Connects the object to a wire that is not a serial port (the in-process simulated unit,
    // tests); closes any open port first. A null wire disconnects.
    void connectWire(std::unique_ptr<CLLProtocolWire> wire);
    // Closes the port and drops the wire.
    void disconnectDevice();
    // A wire exists and, when it runs over the serial port, the port is open.
    bool isConnected() const;
    // The connection failed for good: the device went away under its open port (unplugged,
    // restarted). No request is sent on it any more; only a new connection helps.
    bool portLost() const;
    // Changes whenever the connection is dropped: an operation that lets events run (an
    // upload) sees that the port was closed and opened again meanwhile.
    int connectionId() const { return m_ConnectionId; }

    // ---- Requests ------------------------------------------------------------------------
    // The one-byte request form: up to three attempts (code 17 awaits no acknowledgement).
    [[nodiscard]] bool sendCommand(UINT8 code);
    [[nodiscard]] bool getIdentData(SHLP_IdentData& out);

    // Persistent counters: all at once into the counter vector, or one read or written.
    [[nodiscard]] bool getCounters();
    const QVector<UINT32>& counters() const { return m_Counters; }
    // The counter read last, or 0xFFFFFFFF for an index outside the vector.
    UINT32 getCounter(int index) const;
    // The counter's display name; empty outside the vector or for counters without a name.
    QString counterName(int index) const;
    [[nodiscard]] bool readWriteCounterValue(CPersCounter_ReadOnly::ECntID id, UINT32* value,
                                             bool write);
    // The device clock; null pointers are skipped.
    [[nodiscard]] bool getTimer(UINT16* ms, UINT8* seconds, UINT8* minutes, UINT8* hours,
                                UINT16* days);
    // One reply packet of device memory, at most 199 bytes, whatever length was asked for.
    [[nodiscard]] bool reportMemory(int address, int length, QVector<UINT8>& out);
    [[nodiscard]] bool calcAveSenVal();
    // 0 is refused without sending anything.
    [[nodiscard]] bool setSerialNumber(UINT32 serialNumber);

    // ---- Firmware (fanbase_flash.cpp) -----------------------------------------------------
    // The uploads process pending GUI events after every chunk, so the caller must keep the
    // controls that start device operations disabled meanwhile. `progress` may be null.
    [[nodiscard]] bool uploadImage(CFlashImage::ESystem system, CPartitionTable::EPartType type,
                                   QProgressBar* progress, bool slow);
    [[nodiscard]] bool uploadPartition(UINT32 memAdr, UINT32 dataLen, UINT32 plainLen,
                                       CPartitionTable::EPartType type, UINT8 mainVer, UINT8 subVer,
                                       UINT32 startAdr, UINT16 crc16, bool encrypted,
                                       const UINT8* data, QProgressBar* progress, bool slow);
    [[nodiscard]] bool swapBootloaders();
    [[nodiscard]] bool
        getPartitionTable(CPartitionTable::SPartition (&table)[CPartitionTable::kEntries]);
    // Mode 0 only starts the application.
    [[nodiscard]] bool setStartupMode(UINT8 mode);

    // ---- Virtual operations (this order is part of the interface) -------------------------
    virtual QString getPrimaryLog() = 0;
    virtual QString secLogReport(CLogging::EMaxTimeSpan span, bool first10, bool first100,
                                 bool last10, bool last100, const QString& caption) = 0;
    virtual bool eraseSecLog(CLogging::EMaxTimeSpan span);
    virtual bool checkSecLog(CLogging::EMaxTimeSpan span, quint8& result);
    // Each pointer addresses three values, one per time span; null pointers are skipped.
    virtual bool getSecLogCnt(UINT16* logSize, UINT16* entriesUsed, UINT16* oldestIndex);
    virtual const char* ventReasonName(int reason) const;
    virtual QString modelName() const = 0;
    virtual int modelType() const = 0;
    // The decoded logs behind the reports, for the charts and the exports: the whole primary
    // log, or the picked entries of a secondary-log span. False when a request failed.
    virtual bool primLogTable(logtable::STable& table) = 0;
    virtual bool secLogTable(CLogging::EMaxTimeSpan span, report::ESecLogPick pick,
                             logtable::STable& table) = 0;

signals:
    void signalUserInfo(QString strInfo);

protected slots:
    void userInfo(QString strInfo);

protected:
    // How a reply check words its size-mismatch report: the mismatch line alone, or followed by
    // "Expected:" n ", got:" len (compact) or "Expected: " n ", got: " len (spaced).
    enum class EExpectedLine { None, Compact, Spaced };
    struct SReplyCheck
    {
        const char* receiveFailed;
        const char* wrongPacket;
        const char* sizeMismatch;
        EExpectedLine expectedLine = EExpectedLine::None;
    };
    static constexpr int kAnySize = -1;

    // The log requests of both models, defined in fanbase_logs.h. `owner` names the class in
    // the debug lines ("CFan", "CFan_70_PC"); `entryName` the secondary entry's record.
    template <typename Entry>
    [[nodiscard]] bool requestPrimLog(QVector<Entry>& entries, const SLogTrainLayout& layout,
                                      int replySize, const char* owner);
    template <typename Entry>
    [[nodiscard]] bool requestSecLog(QVector<Entry>& entries, int span, UINT16 count, UINT16 first,
                                     const char* owner, const char* entryName);

    // Only valid while isConnected().
    CLLProtocolWire& wire() const { return *m_Wire; }
    // The record request form: one attempt, the record as the packet's data.
    [[nodiscard]] bool sendRecord(CLLProtocol& protocol, const UINT8* record, UINT16 len);
    // Receives one reply without debug output and checks, in this order, reception, packet id
    // and data length (unless kAnySize); a failed check logs its line(s) and gives false.
    [[nodiscard]] bool receiveReply(CLLProtocol& protocol, CLLProtocolPacket& reply,
                                    UINT16 expectedId, int expectedSize, const SReplyCheck& check);
    [[nodiscard]] bool receiveReply(CLLProtocolPacket& reply, UINT16 expectedId, int expectedSize,
                                    const SReplyCheck& check);
    // A translatable user text of context "CFanBase" with the model name for every %1.
    QString userText(const char* text) const;

private:
    void closePort();
    void drainWire();

    std::unique_ptr<QSerialPort> m_Port;
    QString m_PortName;
    std::unique_ptr<CLLProtocolWire> m_Wire;
    QTextEdit* m_DebugOutput = nullptr;
    QVector<UINT32> m_Counters;
    bool m_WireOnPort = false;
    int m_ConnectionId = 0;
};
