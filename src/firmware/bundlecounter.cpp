#include "bundlecounter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace bundlecounter {

QString path()
{
    const QString given = qEnvironmentVariable("VENTARO_BUNDLE_STATE");
    if (!given.isEmpty())
        return given;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("ventaro/bundle-counter"));
}

bool highest(qint64& value, QString& error)
{
    value = 0;
    QFile file(path());
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("the bundle counter %1 cannot be read: %2")
                    .arg(file.fileName(), file.errorString());
        return false;
    }
    bool ok = false;
    value = file.read(64).trimmed().toLongLong(&ok);
    if (!ok || value < 0) {
        error = QStringLiteral("the bundle counter %1 is damaged; it must hold the highest "
                               "security counter accepted (a number)")
                    .arg(file.fileName());
        return false;
    }
    return true;
}

bool raise(qint64 counter, QString& error)
{
    qint64 stored = 0;
    if (!highest(stored, error))
        return false;
    if (counter <= stored && QFile::exists(path()))
        return true;
    const QString file = path();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QByteArray::number(qMax(counter, stored)) + '\n') < 0 || !out.commit()) {
        error = QStringLiteral("the bundle counter %1 cannot be written: %2")
                    .arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace bundlecounter
