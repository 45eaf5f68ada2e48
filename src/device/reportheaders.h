#pragma once

// Fixed header, unit and template lines of the log reports, exactly as they are printed.
// In the secondary-log unit templates %1 is the time unit, %2 the air, %3 the water and %4
// the energy unit.
namespace report {

// clang-format off
inline constexpr char kPrimHeader100[] =
    "Log,   TExt  , TSup  , TOut  , TExh  , HExt, HOut, Pres,  CO2, TVirt , Com, Hum, Sum, Fan, AveFlow, Fan, 2nd, RPM , RPM , Vent, Vent, Vent, Vent, TPE, TBA, TPS, TBY, TState , Ventil, Defrost, Fil, Fil, Room, 2nd Room, IntEr, IntEr, IntEr, Error  \n";
inline constexpr char kPrimUnits100[] =
    "   ,    °C   ,  °C   ,  °C   ,  °C   ,  %  ,   % ,  hPa,  ppm,  °C   , Lev, Red, Coo,m³/h,  m³/h  , Lim, o20,Suppl, Extr, Extr,  2nd, Supp, Bypa,                            , Reason, Exhaust, Sup, Ext, Area, Flow    , File , Line , Code ,   \n";
inline constexpr char kSecHeader100a[] =
    " Log,   TExt, TSup, TOut, TExh, HExt, HOut, Pres,  CO2, Comfort Level, --- Operation Mode ---, -- Reduced Ventilation--  ,  Ventilation Reason --------  ,  -------- Flow Values --------   , Filter  , Acc, --SW Warnings-- , Error\n";
inline constexpr char kSecHeader100b[] =
    "                                                        1, 2, 3, 4, 5, Std, Alt, Slp, Trb Hum, Def Exh, Sup cond, Hum Inp, Min, AbsHum, RelHum, Cool, CO2, Air  , Water, EnExt, EnRec, EnCol, Sup, Ext, Cnt, File, Line, Code,      \n";
inline constexpr char kSecUnits100[] =
    "    ,    °C ,  °C ,  °C ,  °C ,  %  ,   % , hPa ,  ppm, %1    ,        %1      ,    %1              ,    %1                  ,%2,%3,    %4     \n";
inline constexpr char kPrimHeader70[] =
    "Log,  TExt,    TOut,HExt,HSup,CO2Ex,CO2Su,  HTExt,  HTSup,HUEx,HUSu,Com, Sum, Fan,  Flow,SBFlow,  RPM,   State,   Fan    Ventil, Room,   IntEr, IntEr, IntEr, Error  \n";
inline constexpr char kPrimUnits70[] =
    ",    °C,      °C,   %,   %,  ppm,  ppm,     °C,     °C,   %,   %,Lev, Coo, Speed,m³/h,                         State, Reason, Area,   File , Line , Code ,         \n";
inline constexpr char kSecHeader70a[] =
    " Log,  TExt,TSup,HExt,HOut, CO2E, CO2S, Comfort Level, Operation Mode, -- Reduced Ventilation , Ventilation Reason --------, Flow Values -------, Acc, --SW Warnings-- , Error\n";
inline constexpr char kSecHeader70b[] =
    "                                        1, 2, 3, 4, 5, Auto, Ser, Trb, HumInp,HumCO2Inp,CO2Inp, Min,AbsHum,RelHum,Cool, CO2, Air  , Water, EnCol, Cnt, File, Line, Code,      \n";
inline constexpr char kSecUnits70[] =
    "    ,   °C , °C , %  ,  % ,  log,  log,    ,       %1      ,    %1        ,    %1     ,  %2,    %3, %4     \n";
// clang-format on

} // namespace report
