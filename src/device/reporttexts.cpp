#include "reporttexts.h"

namespace report {
namespace {
template <int N>
QString lookup(const char* const (&texts)[N], int code, const char* unknown)
{
    return QString::fromUtf8(code >= 0 && code < N ? texts[code] : unknown);
}
} // namespace

QString ventPositionText(int code)
{
    constexpr int kFirstStep = 1;
    constexpr int kLastStep = 24;
    static const char* const kFixed[] = {"CLOS", " 15°", " 30°", " 45°", " 60°", " 75°", "OPEN"};
    if (code == 0)
        return QStringLiteral("UNKN");
    if (code >= kFirstStep && code <= kLastStep)
        return QStringLiteral("T %1").arg(code - kFirstStep, 2, 10, QLatin1Char('0'));
    return lookup(kFixed, code - kLastStep - 1, "??");
}

QString operationModeText(int code)
{
    static const char* const kTexts[] = {"AutoStd",   "AutoAlt", "Sleep", "Turbo",
                                         "TurboCool", "Service", "Test"};
    return lookup(kTexts, code, "??");
}

QString defrostText(int code)
{
    static const char* const kTexts[] = {"None", "Bypa", "Supp"};
    return lookup(kTexts, code, " ?? ");
}

QString errorStateText(int code)
{
    static const char* const kTexts[] = {"OK",
                                         "Filter old",
                                         "Filter dirty",
                                         "General error",
                                         "Error TSup",
                                         "Error TOut",
                                         "Error HOut",
                                         "Error TExh",
                                         "Error TExt",
                                         "Error HExt",
                                         "Error CO2",
                                         "Error Pres",
                                         "Error Vent Extract",
                                         "Error Vent Bath",
                                         "Error Vent Supply",
                                         "Error Vent Bypass",
                                         "Error Fan Extract",
                                         "Error Fan Supply",
                                         "Error DIP switch",
                                         "?Detail on press??",
                                         "CO2 too high",
                                         "Fire",
                                         "Wlan Error"};
    return lookup(kTexts, code, "??");
}

int roomArea(int code)
{
    static const int kAreas[] = {20, 25, 35, 45, 60, 75};
    return code >= 0 && code < 6 ? kAreas[code] : 0;
}

QString operationModeText70(int code)
{
    static const char* const kTexts[] = {"Auto", "Turbo", "Service", "Test", "Manufacturer"};
    return lookup(kTexts, code, "??");
}

QString fanStateText70(int code)
{
    static const char* const kTexts[] = {"Normal", "Back", "CDown", "CDownB", "NorNoM", "BackNoM"};
    return lookup(kTexts, code, "??");
}

} // namespace report
