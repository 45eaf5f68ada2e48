// The 100-series requests of the service windows: vents, WiFi, network credentials and
// simulated sensor values.
#include "fan.h"

#include "link/llprotocol.h"
#include "link/llprotocolpacket.h"

#include <QDebug>

#include <cstring>

namespace {
// Field offsets and limits of the network-credentials record.
struct SCredentialField
{
    int offset;
    int size;
};
constexpr SCredentialField kCredentialTexts[6] = {
    {2, 25}, {27, 25}, {52, 20}, {102, 49}, {151, 49}, {77, 25}, // texts 1-6
};
constexpr int kCredentialByteOffset = 72;
constexpr int kCredentialBytesOffset = 73;
constexpr int kCredentialBytesCount = 4;
constexpr int kWifiRssiOffset = 2;
} // namespace

bool CFan::moveVent(const SHLP_MoveVent& request)
{
    if (!isConnected())
        return false;
    const UINT8 bytes[SHLP_MoveVent::kSize] = {request.m_Code, request.m_Vent, request.m_Position};
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, bytes, sizeof bytes)) {
        qDebug() << "CFan::moveVent: Error sending request for simulation values";
        return false;
    }
    return true;
}

bool CFan::setSimulationValues(const SHLP_SetSimulationValues& values)
{
    qDebug() << "sizeof(SHLP_SetSimulationValues)" << SHLP_SetSimulationValues::kSize;
    if (!isConnected())
        return false;
    UINT8 bytes[SHLP_SetSimulationValues::kSize];
    values.toBytes(bytes);
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, bytes, sizeof bytes)) {
        qDebug() << "CFan::setSimulationValues: Error sending request for simulation values";
        return false;
    }
    return true;
}

bool CFan::setNetworkCredentials(const QString& text1, const QString& text2, const QString& text3,
                                 const QString& text4, const QString& text5, const QString& text6,
                                 quint8 byteParam, quint8* bytes)
{
    if (!isConnected())
        return false;
    UINT8 record[kCredentialsRecordSize] = {};
    record[0] = HLP_SET_NETWORK_CREDENTIALS;
    const QString* texts[6] = {&text1, &text2, &text3, &text4, &text5, &text6};
    QByteArray latin1[6];
    for (int i = 0; i < 6; ++i) {
        latin1[i] = texts[i]->toLatin1();
        if (latin1[i].size() > kCredentialTexts[i].size)
            return false;
    }
    // The record starts zeroed, so a shorter text is terminated and zero-filled already.
    for (int i = 0; i < 6; ++i)
        std::memcpy(record + kCredentialTexts[i].offset, latin1[i].constData(),
                    size_t(latin1[i].size()));
    record[kCredentialByteOffset] = byteParam;
    if (bytes)
        std::memcpy(record + kCredentialBytesOffset, bytes, kCredentialBytesCount);

    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, record, sizeof record)) {
        qDebug() << "CFan::setNetworkCredentials: Error sending network credentials";
        return false;
    }
    return true;
}

bool CFan::getVentInfo(CVents::SVentInfo* info)
{
    if (!isConnected() || !info)
        return false;
    if (!sendCommand(HLP_GET_VENT_INFO)) {
        qDebug() << "CFan::getVentInfo: Error sending request for getting the vent info";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::getVentInfo: Error getting the vent info",
                                    "CFan::getVentInfo: Received wrong packet",
                                    "CFan::getVentInfo: Packet size mismatch",
                                    EExpectedLine::Spaced};
    CLLProtocolPacket reply;
    if (!receiveReply(reply, hlpReplyId(HLP_GET_VENT_INFO), kVentInfoReplySize, kCheck))
        return false;
    for (int vent = 0; vent < CVents::kVentCount; ++vent)
        info[vent] =
            CVents::SVentInfo::fromBytes(reply.Data() + 2 + vent * CVents::SVentInfo::kSize);
    return true;
}

bool CFan::readWifiRssi(qint8& rssi)
{
    if (!sendCommand(HLP_GET_WIFI_DATA)) {
        qDebug() << "CFan::getWifiData: Error sending request for getting the wifi data";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::getWifiData: Error getting the wifi data",
                                    "CFan::getWifiData: Received wrong packet",
                                    "CFan::getWifiData: Packet size mismatch",
                                    EExpectedLine::Spaced};
    CLLProtocolPacket reply;
    if (!receiveReply(reply, hlpReplyId(HLP_GET_WIFI_DATA), kWifiDataReplySize, kCheck))
        return false;
    rssi = qint8(reply.Data()[kWifiRssiOffset]);
    return true;
}

bool CFan::getWifiData(qint8& rssi)
{
    if (!isConnected())
        return false;
    return readWifiRssi(rssi);
}

bool CFan::getWifiDataDebug(qint8& rssi, quint8& debug1, quint8& debug2)
{
    if (!isConnected() || !readWifiRssi(rssi))
        return false;
    debug1 = 0;
    debug2 = 0;
    return true;
}
