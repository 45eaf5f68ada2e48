#include "fanbase.h"

#include "device/wireclock.h"
#include "link/llprotocol.h"
#include "link/llprotocolpacket.h"
#include "link/llprotocolwirewin.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSerialPort>

CFanBase::CFanBase(QObject* parent) : QObject(parent), m_Port(std::make_unique<QSerialPort>()) {}

CFanBase::~CFanBase()
{
    closePort();
}

// ---- Connection ------------------------------------------------------------------------------

QString CFanBase::portName() const
{
    return m_Port->isOpen() ? m_PortName : QString();
}

bool CFanBase::isConnected() const
{
    return m_Wire && (!m_WireOnPort || m_Port->isOpen());
}

bool CFanBase::portLost() const
{
    return m_Wire && m_Wire->Lost();
}

void CFanBase::closePort()
{
    // The wire refers to the port: it goes first.
    if (m_Wire)
        ++m_ConnectionId;
    m_Wire.reset();
    m_WireOnPort = false;
    if (m_Port->isOpen())
        m_Port->close();
    m_PortName.clear();
}

void CFanBase::disconnectDevice()
{
    closePort();
}

void CFanBase::connectWire(std::unique_ptr<CLLProtocolWire> wire)
{
    closePort();
    m_Wire = std::move(wire);
}

bool CFanBase::connectPort(const QString& portName)
{
    if (portName.isEmpty()) {
        closePort();
        userInfo(userText(
            QT_TRANSLATE_NOOP("CFanBase", "Please connect your application via the USB cable.")));
        return false;
    }
    if (m_Port->isOpen()) {
        if (m_PortName == portName && m_WireOnPort && m_Wire)
            return true;
    }
    closePort();
    userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", "Checking for new devices...")));

    // QSerialPort shortens /dev/ names; the name asked for is the one reported back.
    m_Port->setPortName(portName);
    m_Port->setBaudRate(kBaudRate);
    m_Port->setDataBits(QSerialPort::Data8);
    m_Port->setParity(QSerialPort::NoParity);
    m_Port->setStopBits(QSerialPort::OneStop);
    m_Port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_Port->open(QIODevice::ReadWrite)) {
        qDebug() << "CFan::connectPort: Unable to open" << portName << ":" << m_Port->errorString();
        if (m_Port->error() == QSerialPort::PermissionError)
            qDebug() << "CFan::connectPort: Permission denied: install the udev rule for the "
                        "device or add the user to the dialout group (or the port is in use)";
        m_Port->clearError();
        userInfo(userText(QT_TRANSLATE_NOOP(
            "CFanBase", "Unable to open COM port for %1.\nPlease switch your %2 off and then on "
                        "again.")));
        return false;
    }
    // Many USB serial devices only talk while DTR is up; a pseudo-terminal refuses the call,
    // which is harmless.
    if (!m_Port->setDataTerminalReady(true))
        m_Port->clearError();

    m_PortName = portName;
    m_Wire = std::make_unique<CLLProtocolWireWin>(m_Port.get());
    m_WireOnPort = true;
    drainWire();
    return true;
}

// Bytes that waited on the port belong to an earlier connection.
void CFanBase::drainWire()
{
    int drained = 0;
    UINT16 len = 0;
    while (drained < kDrainMaxBytes && m_Wire->Read(len) && len > 0)
        drained += len;
}

// ---- Request forms and reply checks ----------------------------------------------------------

QString CFanBase::userText(const char* text) const
{
    QString out = QCoreApplication::translate("CFanBase", text);
    const QString name = modelName();
    if (out.contains(QLatin1String("%2")))
        return out.arg(name, name);
    if (out.contains(QLatin1String("%1")))
        return out.arg(name);
    return out;
}

void CFanBase::userInfo(QString strInfo)
{
    emit signalUserInfo(strInfo);
}

bool CFanBase::sendCommand(UINT8 code)
{
    if (!isConnected())
        return false;
    CLLProtocolPacket packet;
    packet.SetPacketByte(LLC_HLP, true, code);
    if (code == HLP_START)
        packet.SetNoAckExpected();
    CLLProtocol protocol(*m_Wire, m_DebugOutput);
    if (protocol.Send(packet) != CLLProtocol::RC_OK) {
        userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", "%1 did not respond - ")));
        return false;
    }
    return true;
}

bool CFanBase::sendRecord(CLLProtocol& protocol, const UINT8* record, UINT16 len)
{
    CLLProtocolPacket packet;
    packet.SetPacket(LLC_HLP, false, false, false, len, record);
    return protocol.Send(packet) == CLLProtocol::RC_OK;
}

bool CFanBase::receiveReply(CLLProtocolPacket& reply, UINT16 expectedId, int expectedSize,
                            const SReplyCheck& check)
{
    CLLProtocol protocol(*m_Wire);
    return receiveReply(protocol, reply, expectedId, expectedSize, check);
}

bool CFanBase::receiveReply(CLLProtocol& protocol, CLLProtocolPacket& reply, UINT16 expectedId,
                            int expectedSize, const SReplyCheck& check)
{
    if (protocol.Receive(reply) != CLLProtocol::RC_OK) {
        qDebug() << check.receiveFailed;
        return false;
    }
    if (reply.GetPacketId() != expectedId) {
        qDebug() << check.wrongPacket;
        return false;
    }
    if (expectedSize != kAnySize && reply.DataLen() != expectedSize) {
        qDebug() << check.sizeMismatch;
        if (check.expectedLine == EExpectedLine::Compact)
            qDebug() << "Expected:" << expectedSize << ", got:" << reply.DataLen();
        else if (check.expectedLine == EExpectedLine::Spaced)
            qDebug() << "Expected: " << expectedSize << ", got: " << reply.DataLen();
        return false;
    }
    return true;
}

// ---- Identification --------------------------------------------------------------------------

bool CFanBase::getIdentData(SHLP_IdentData& out)
{
    if (!isConnected())
        return false;
    CWireClock clock(*m_Wire);
    CLLProtocol protocol(clock, m_DebugOutput);
    CLLProtocolPacket packet;
    for (;;) {
        packet.SetPacketByte(LLC_HLP, false, HLP_IDENT_REQUEST);
        qDebug() << "Sending report ident request...";
        if (protocol.Send(packet) == CLLProtocol::RC_OK)
            break;
        if (clock.elapsedMs() >= kIdentRetryWindowMs || m_Wire->Lost()) {
            userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", "%1 did not respond! ")));
            return false;
        }
    }
    qDebug() << "...Debug: appllication has answered!";
    userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", "%1 detected!")));

    if (protocol.Receive(packet) != CLLProtocol::RC_OK) {
        userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", " The %1 did not (correctly) respond - ")));
        return false;
    }
    if (packet.GetPacketId() != hlpReplyId(HLP_IDENT_REPLY)) {
        userInfo(
            userText(QT_TRANSLATE_NOOP("CFanBase", "- The %1 responded with the wrong packet - ")));
        return false;
    }
    // A short identity would leave stale bytes in the record: refuse it.
    if (packet.DataLen() < SHLP_IdentData::kSize) {
        qDebug() << "CFan::getIdentData: Packet too small";
        qDebug() << "Expected at least:" << SHLP_IdentData::kSize << ", got:" << packet.DataLen();
        userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", " The %1 did not (correctly) respond - ")));
        return false;
    }
    out = SHLP_IdentData::fromBytes(packet.Data());
    return true;
}

// ---- Virtual operations ----------------------------------------------------------------------

const char* CFanBase::ventReasonName(int reason) const
{
    static const char* const kNames[] = {"MinAir", "RelDry", "AbsDry", "SumCoo",
                                         "CO2Ven", "SupCon", "MinTOu", "HumInp"};
    if (reason < 0 || reason >= int(sizeof kNames / sizeof kNames[0]))
        return "- ?? -";
    return kNames[reason];
}
