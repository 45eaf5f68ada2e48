#include "devsimrecords.h"

#include <algorithm>

namespace devsim {

namespace {
UINT8* bytes(QByteArray& a)
{
    return reinterpret_cast<UINT8*>(a.data());
}

int clampInt(int v, int lo, int hi)
{
    return std::max(lo, std::min(hi, v));
}
} // namespace

UINT16 temp11(int temp8)
{
    return UINT16(clampInt(temp8, -1024, 1023) & 0x7FF);
}

QByteArray encodePrimEntry100(const SDevSimLive& v)
{
    QByteArray out(kPrimEntry100Size, '\0');
    UINT8* p = bytes(out);
    const int pressure = clampInt(v.pressureHpa - 700, 0, 511);
    const int co2 = clampInt(v.co2Ppm / 16, 0, 255);
    le::put16(p + 0, UINT16(temp11(v.supplyTemp8) | ((v.errorState & 0x1F) << 11)));
    le::put16(p + 2, UINT16(temp11(v.outdoorTemp8) | (((pressure >> 4) & 0x1F) << 11)));
    le::put16(p + 4, UINT16(temp11(v.exhaustTemp8) | ((v.ventPos[0] & 0x1F) << 11)));
    le::put16(p + 6, UINT16(temp11(v.extractTemp8) | ((v.ventPos[3] & 0x1F) << 11)));
    le::put16(p + 8, UINT16(temp11(v.supplyTempVirt8) | ((pressure & 0x0F) << 11) |
                            (v.deicing ? 0x8000 : 0)));
    p[10] = UINT8(clampInt(v.outdoorHum, 0, 127));
    p[11] = UINT8(clampInt(v.extractHum, 0, 127));
    p[12] = UINT8(co2);
    p[13] = UINT8((v.ventPos[1] & 0x1F) | ((v.comfortCode & 7) << 5));
    p[14] = UINT8((v.ventPos[2] & 0x1F) | ((v.operationMode & 7) << 5));
    p[15] = UINT8((v.program & 7) | ((v.airFlowCode & 0x1F) << 3));
    le::put16(p + 16, UINT16((v.fanExtractRpm & 0xFFF) | ((v.fanLimit & 0xF) << 12)));
    le::put16(p + 18, UINT16((v.fanSupplyRpm & 0xFFF) | (v.humReduction ? 0x1000 : 0)));
    p[20] = UINT8(v.dipSwitch);
    p[21] = UINT8(v.defrostState & 3); // no internal error: file 0
    le::put16(p + 22, UINT16(v.softwareVersion & 0x3FF));
    p[24] = 0;
    p[25] = 0;
    return out;
}

QByteArray encodePrimEntry70(const SDevSimLive& v)
{
    QByteArray out(kPrimEntry70Size, '\0');
    UINT8* p = bytes(out);
    const int supplyHum = clampInt(v.supplyHum, 0, 127);
    const int fanSpeed = clampInt(v.comfortCode * 12, -128, 127);
    const int htExt = clampInt(v.extractTemp8 / 2, -512, 511) & 0x3FF; // 1/4 degC
    const int htSup = clampInt(v.supplyTemp8 / 2, 0, 1023);
    const int roomArea = (v.dipSwitch >> 3) & 0x1F;
    le::put16(p + 0, temp11(v.outdoorTemp8));
    p[2] = UINT8(clampInt(v.extractHum, 0, 127) | ((supplyHum & 1) << 7));
    p[3] = UINT8((supplyHum >> 1) & 0x3F);
    le::put16(p + 4, UINT16(htExt));
    le::put16(p + 6, temp11(v.extractTemp8));
    p[8] = UINT8((v.airFlowCode & 0x7F) | ((fanSpeed & 1) << 7));
    p[9] = UINT8((fanSpeed >> 1) & 0x7F);
    p[10] = UINT8(supplyHum);
    p[11] = UINT8(clampInt(v.extractHum, 0, 127));
    p[13] = 0;
    p[14] = UINT8((v.comfortCode & 7) | ((v.operationMode & 7) << 3) | ((htSup & 3) << 6));
    p[15] = UINT8(htSup >> 2);
    le::put16(p + 16, UINT16((v.fanSupplyRpm & 0xFFF) | ((v.program & 0xF) << 12)));
    p[20] = UINT8(clampInt(v.co2Ppm / 16, 0, 255));
    p[21] = UINT8(clampInt(v.co2SupplyPpm / 16, 0, 255));
    p[22] = UINT8(roomArea << 3);
    p[23] = UINT8(INT8(clampInt(v.airFlowCode * 2, -128, 127)));
    return out;
}

QByteArray makeSecEntry(int span, int sequence, int slot, bool plus)
{
    QByteArray out(kSecEntrySize, '\0');
    UINT8* p = bytes(out);
    const int n = span == 0 ? 15 : span == 1 ? 24 : 30;
    const int wave = sequence % 7;
    if (plus) {
        p[0] = UINT8(18 + wave); // TSup
        p[1] = UINT8(21);        // TExt
        p[2] = UINT8(60);        // HOut
        p[3] = UINT8(45 + wave); // HExt
        p[4] = UINT8(26);        // CO2S x 16
        p[5] = UINT8(40 + wave); // CO2E x 16
        p[14] = UINT8(n / 3);    // TimeComLev0
        p[16] = UINT8(n / 3);    // TimeComLev1
        p[21] = sequence == 0 ? 0x80 : 0;
    } else {
        p[0] = UINT8(18 + wave);          // SupplyTemp
        p[1] = UINT8(INT8(4 - wave));     // OutdoorTemp
        p[2] = UINT8(70);                 // OutdoorHum
        p[3] = UINT8(9);                  // ExhaustTemp
        p[4] = UINT8(21);                 // ExtractTemp
        p[5] = UINT8(45 + wave);          // ExtractHum
        p[6] = UINT8(40);                 // CO2 x 16
        p[9] = UINT8((n / 3) << 2);       // TimeComLev0
        p[11] = UINT8((n / 3) << 2);      // TimeComLev1
        p[16] = UINT8(n / 5);             // TimeAutoAlt
        p[17] = sequence == 0 ? 0x80 : 0; // restarted
        le::put16(p + 18, UINT16(100 + wave));
        le::put16(p + 20, UINT16(300 + wave));
        p[26] = 0;               // error state OK
        p[29] = UINT8(140 >> 1); // pressure code 140: 980 hPa
    }
    le::put16(p + 22, UINT16(sequence));
    p[24] = UINT8(50 + wave);
    p[28] = UINT8(n); // accumulation count
    le::put16(p + 30, UINT16(slot & 0x3FF));
    return out;
}

QByteArray encodePartition(UINT32 start, UINT16 size, UINT8 type, UINT8 mainVer, UINT8 subVer,
                           UINT8 crcFlags)
{
    QByteArray out(kPartitionEntrySize, '\0');
    UINT8* p = bytes(out);
    le::put32(p, start);
    le::put16(p + 4, size);
    p[6] = type;
    p[7] = mainVer;
    p[8] = subVer;
    p[9] = crcFlags;
    return out;
}

} // namespace devsim
