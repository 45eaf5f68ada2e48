#pragma once

#include "link/lltypes.h"

#include <cstring>

// High-level requests and replies travel as the data of one LLC_HLP packet: a one-byte code
// followed by the record of that code, packed, little-endian. A reply is recognised by its
// packet id, 0x0100 plus the reply code.
enum EHlpCode : UINT8 {
    HLP_IDENT_REQUEST = 1,
    HLP_IDENT_REPLY = 2,
    HLP_SET_SERIAL_NUMBER = 3,
    HLP_SWAP_BOOTLOADERS = 6,
    HLP_SWAP_REPLY = 10,
    HLP_GET_PARTITION_TABLE = 11,
    HLP_REPORT_MEMORY = 12,
    HLP_GET_COUNTERS = 13,
    HLP_GET_TIMER = 14,
    HLP_GET_PRIM_LOG = 15,
    HLP_SET_SIMULATION_VALUES = 16,
    HLP_START = 17,
    HLP_SET_STARTUP_MODE = 18,
    HLP_GET_CURRENT_STATE = 19,
    HLP_GET_SEC_LOG = 20,
    HLP_ERASE_SEC_LOG = 21,
    HLP_CALC_AVE_SEN_VAL = 22,
    HLP_CHECK_SEC_LOG = 23,
    HLP_GET_SEC_LOG_CNT = 24,
    HLP_GET_VENT_INFO = 25,
    HLP_GET_WIFI_DATA = 26,
    HLP_RW_PERS_COUNTER = 27,
    HLP_MOVE_VENT = 28,
    HLP_SET_NETWORK_CREDENTIALS = 29,
};

// The packet id of a high-level reply with the given code.
constexpr UINT16 hlpReplyId(UINT8 code)
{
    return UINT16(0x0100 + code);
}

// The identity a device reports (reply code 2). Bytes the tool does not read are kept as
// received.
struct SHLP_IdentData
{
    static constexpr int kSize = 39;

    UINT8 m_Code = HLP_IDENT_REPLY;
    UINT32 m_SerialNo = 0; // 0 = none stored
    UINT8 m_Byte5 = 0;
    UINT8 m_BoardVersion = 0;
    UINT8 m_ComPartner = 0; // 1, 2 a bootloader copy, 3 the application
    UINT8 m_ComPartnerX = 0;
    UINT8 m_BootMainVer = 0;
    UINT8 m_BootSubVer = 0;
    UINT8 m_ApplMainVer = 0;
    UINT8 m_ApplSubVer = 0;
    UINT16 m_Features = 0;
    UINT8 m_Tail[24] = {};

    // Feature bits: bit 0 the 70-series model, bits 1-5 and 6-12 the WiFi module version.
    bool isModel70() const { return m_Features & 0x0001; }
    int wifiMainVer() const { return (m_Features >> 1) & 0x1F; }
    int wifiSubVer() const { return (m_Features >> 6) & 0x7F; }

    static SHLP_IdentData fromBytes(const UINT8* p)
    {
        SHLP_IdentData d;
        d.m_Code = p[0];
        d.m_SerialNo = le::u32(p + 1);
        d.m_Byte5 = p[5];
        d.m_BoardVersion = p[6];
        d.m_ComPartner = p[7];
        d.m_ComPartnerX = p[8];
        d.m_BootMainVer = p[9];
        d.m_BootSubVer = p[10];
        d.m_ApplMainVer = p[11];
        d.m_ApplSubVer = p[12];
        d.m_Features = le::u16(p + 13);
        std::memcpy(d.m_Tail, p + 15, sizeof d.m_Tail);
        return d;
    }
    void toBytes(UINT8* p) const
    {
        p[0] = m_Code;
        le::put32(p + 1, m_SerialNo);
        p[5] = m_Byte5;
        p[6] = m_BoardVersion;
        p[7] = m_ComPartner;
        p[8] = m_ComPartnerX;
        p[9] = m_BootMainVer;
        p[10] = m_BootSubVer;
        p[11] = m_ApplMainVer;
        p[12] = m_ApplSubVer;
        le::put16(p + 13, m_Features);
        std::memcpy(p + 15, m_Tail, sizeof m_Tail);
    }
};
static_assert(15 + sizeof(SHLP_IdentData::m_Tail) == SHLP_IdentData::kSize,
              "SHLP_IdentData is a 39-byte record");

// Read or write one persistent counter; request and reply alike (7 bytes).
struct SHLP_ReadWriteSinglePersCounter
{
    static constexpr int kSize = 7;
    enum EAction : UINT8 { ERead = 0, EWrite = 1, EError = 2 };
    static constexpr UINT32 kReadValue = 0xFFFFFFFF;

    UINT8 m_Code = HLP_RW_PERS_COUNTER;
    UINT8 m_CntID = 0;
    UINT8 m_Action = ERead;
    UINT32 m_Value = kReadValue;

    static SHLP_ReadWriteSinglePersCounter fromBytes(const UINT8* p)
    {
        SHLP_ReadWriteSinglePersCounter r;
        r.m_Code = p[0];
        r.m_CntID = p[1];
        r.m_Action = p[2];
        r.m_Value = le::u32(p + 3);
        return r;
    }
    void toBytes(UINT8* p) const
    {
        p[0] = m_Code;
        p[1] = m_CntID;
        p[2] = m_Action;
        le::put32(p + 3, m_Value);
    }
};
static_assert(3 + sizeof(UINT32) == SHLP_ReadWriteSinglePersCounter::kSize, "7-byte record");

// Secondary-log administration records; the span is a CLogging::EMaxTimeSpan byte.
struct SHLP_EraseSecLog
{
    static constexpr int kSize = 2;
    UINT8 m_Code = HLP_ERASE_SEC_LOG;
    UINT8 m_Span = 0;
};

struct SHLP_CheckSecLog
{
    static constexpr int kSize = 3;
    UINT8 m_Code = HLP_CHECK_SEC_LOG;
    UINT8 m_Span = 0;
    UINT8 m_Result = 0; // reply: 0 = the log is consistent, else an error code
};

// Per span (index 0-2): ring size, entries used, index of the oldest entry.
struct SHLP_GetSecLogCnt
{
    static constexpr int kSize = 20;
    static constexpr int kSpans = 3;
    UINT8 m_Code = HLP_GET_SEC_LOG_CNT;
    UINT8 m_Zero = 0;
    UINT16 m_Size[kSpans] = {};
    UINT16 m_Used[kSpans] = {};
    UINT16 m_Oldest[kSpans] = {};

    static SHLP_GetSecLogCnt fromBytes(const UINT8* p)
    {
        SHLP_GetSecLogCnt r;
        r.m_Code = p[0];
        r.m_Zero = p[1];
        for (int i = 0; i < kSpans; ++i) {
            r.m_Size[i] = le::u16(p + 2 + 2 * i);
            r.m_Used[i] = le::u16(p + 8 + 2 * i);
            r.m_Oldest[i] = le::u16(p + 14 + 2 * i);
        }
        return r;
    }
    void toBytes(UINT8* p) const
    {
        p[0] = m_Code;
        p[1] = m_Zero;
        for (int i = 0; i < kSpans; ++i) {
            le::put16(p + 2 + 2 * i, m_Size[i]);
            le::put16(p + 8 + 2 * i, m_Used[i]);
            le::put16(p + 14 + 2 * i, m_Oldest[i]);
        }
    }
};
static_assert(2 + 3 * SHLP_GetSecLogCnt::kSpans * sizeof(UINT16) == SHLP_GetSecLogCnt::kSize,
              "20-byte record");

// Move one vent (0 extract, 1 second room, 2 supply, 3 bypass) to a position code.
struct SHLP_MoveVent
{
    static constexpr int kSize = 3;
    UINT8 m_Code = HLP_MOVE_VENT;
    UINT8 m_Vent = 0;
    UINT8 m_Position = 0;
};

// Simulated sensor readings for the 100-series controller. Temperatures in 1/8 degC unless
// named otherwise, humidities in %, CO2 in ppm.
struct SHLP_SetSimulationValues
{
    static constexpr int kSize = 22;

    UINT8 m_Code = HLP_SET_SIMULATION_VALUES;
    UINT8 m_ComfortLevel = 0; // 0-4
    UINT8 m_DIPSwitch = 0;    // bit meaning as SPrimLogEntry::dipSwitch()
    UINT8 m_HumReduction = 0; // 1 on, 0 off
    UINT8 m_AveExtractHum = 0;
    INT8 m_AveOutdoorTempC = 0; // whole degC
    INT16 m_SupplyTemp = 0;
    INT16 m_OutdoorTemp = 0;
    UINT16 m_OutdoorHum = 0;
    INT16 m_ExhaustTemp = 0;
    INT16 m_ExtractTemp = 0;
    UINT16 m_ExtractHum = 0;
    UINT16 m_CO2 = 0;
    UINT16 m_Reserved = 0;

    void toBytes(UINT8* p) const
    {
        p[0] = m_Code;
        p[1] = m_ComfortLevel;
        p[2] = m_DIPSwitch;
        p[3] = m_HumReduction;
        p[4] = m_AveExtractHum;
        p[5] = UINT8(m_AveOutdoorTempC);
        le::put16(p + 6, UINT16(m_SupplyTemp));
        le::put16(p + 8, UINT16(m_OutdoorTemp));
        le::put16(p + 10, m_OutdoorHum);
        le::put16(p + 12, UINT16(m_ExhaustTemp));
        le::put16(p + 14, UINT16(m_ExtractTemp));
        le::put16(p + 16, m_ExtractHum);
        le::put16(p + 18, m_CO2);
        le::put16(p + 20, m_Reserved);
    }
    static SHLP_SetSimulationValues fromBytes(const UINT8* p)
    {
        SHLP_SetSimulationValues v;
        v.m_Code = p[0];
        v.m_ComfortLevel = p[1];
        v.m_DIPSwitch = p[2];
        v.m_HumReduction = p[3];
        v.m_AveExtractHum = p[4];
        v.m_AveOutdoorTempC = INT8(p[5]);
        v.m_SupplyTemp = le::i16(p + 6);
        v.m_OutdoorTemp = le::i16(p + 8);
        v.m_OutdoorHum = le::u16(p + 10);
        v.m_ExhaustTemp = le::i16(p + 12);
        v.m_ExtractTemp = le::i16(p + 14);
        v.m_ExtractHum = le::u16(p + 16);
        v.m_CO2 = le::u16(p + 18);
        v.m_Reserved = le::u16(p + 20);
        return v;
    }
};
static_assert(6 + 8 * sizeof(UINT16) == SHLP_SetSimulationValues::kSize, "22-byte record");
