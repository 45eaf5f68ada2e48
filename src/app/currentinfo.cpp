#include "currentinfo.h"

#include "device/fan.h"
#include "values/datadict.h"
#include "values/fanvalues.h"

#include <QCoreApplication>

namespace currentinfo {
// The texts belong to the main dialog's catalogue context, which shows them.
QString runtimeText(quint64 seconds)
{
    return QCoreApplication::translate("CMainDialogNew", "Runtime: %1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QStringList stateBlock(const SPrimLogEntry& entry, const QString& runtime)
{
    const CFanValues values(entry);
    if (values.isDefaultState())
        return {runtime + QStringLiteral(" - ") +
                QCoreApplication::translate("CMainDialogNew", "Application starting...")};

    const CDataDict& dict = CDataDict::instance();
    QStringList lines{QStringLiteral("\n"), runtime};
    lines << QStringLiteral("%1: %2").arg(
        dict.text(kErrorStateIndex, CDataDict::ELabel),
        dict.text(CFanValues::errorStateIndex(values.errorState()), CDataDict::EDescription));
    for (int index : kValueIndices) {
        lines << QStringLiteral("%1: %2 %3")
                     .arg(dict.text(index, CDataDict::ELabel), values.value(index).toString(),
                          dict.text(index, CDataDict::EUnit));
    }
    return lines;
}

QStringList tick(CFanBase* fan, quint64 seconds)
{
    auto* fan100 = qobject_cast<CFan*>(fan);
    if (!fan100)
        return {};
    const QString runtime = runtimeText(seconds);
    SPrimLogEntry entry;
    if (!fan100->getCurrentState(entry))
        return {runtime + QStringLiteral(" - ") +
                QCoreApplication::translate("CMainDialogNew", "getCurrentState() failed")};
    return stateBlock(entry, runtime);
}

} // namespace currentinfo
