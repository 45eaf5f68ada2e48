#include "productionrecord.h"

#include "firmware/flashimagelist.h"

#include "cli/filedescriptor.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kColumns[] = {
    "time",
    "port",
    "model",
    "serial",
    "boot_before",
    "appl_before",
    "wifi_before",
    "boot_after",
    "appl_after",
    "wifi_after",
    "images",
    "duration_s",
    "retries",
    "exit_code",
    "outcome",
    // Added later, so that older record files keep their columns in place.
    "station",
    "operator",
    "verified",
    "verify_detail",
};

QByteArray field(const QString& value)
{
    QByteArray bytes = value.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

int openForAppend(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                  0644);
}

QString systemError(const QString& path, const char* what)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

namespace productionrecord {

QByteArray header()
{
    QByteArray out;
    for (const char* column : kColumns) {
        if (!out.isEmpty())
            out += ',';
        out += column;
    }
    return out + '\n';
}

QStringList columns()
{
    QStringList out;
    for (const char* column : kColumns)
        out << QLatin1String(column);
    return out;
}

QStringList fields(const SProductionRecord& r)
{
    QStringList images;
    for (const SProductionRecord::SImage& image : r.images)
        images << QStringLiteral("%1 %2 sha256:%3")
                      .arg(image.name, image.version, QString::fromLatin1(image.sha256));
    const QStringList values = {
        r.time.toUTC().toString(Qt::ISODate),
        r.port,
        r.model,
        QString::number(r.serial),
        r.bootBefore,
        r.applBefore,
        r.wifiBefore,
        r.bootAfter,
        r.applAfter,
        r.wifiAfter,
        images.join(QLatin1Char(';')),
        QString::number(double(r.durationMs) / 1000.0, 'f', 1),
        QString::number(r.retries),
        QString::number(r.exitCode),
        r.outcome,
        r.station,
        r.operatorName,
        r.verified ? QStringLiteral("yes") : QStringLiteral("no"),
        r.verifyDetail,
    };
    Q_ASSERT(values.size() == int(std::size(kColumns)));
    return values;
}

QByteArray line(const SProductionRecord& r)
{
    const QStringList values = fields(r);
    QByteArray out;
    for (int i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        out += field(values.at(i));
    }
    return out + '\n';
}

QByteArray imageSha256(const CFlashImage& image)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const SMemBlock& block : image.m_MemBlocks)
        hash.addData(block.m_BlockData);
    return hash.result().toHex();
}

bool checkWritable(const QString& path, QString& error)
{
    const CFd fd(openForAppend(path));
    if (fd.get() < 0) {
        error = systemError(path, "cannot open the production record");
        return false;
    }
    return true;
}

bool append(const QString& path, const QByteArray& text, QString& error)
{
    const CFd fd(openForAppend(path));
    if (fd.get() < 0) {
        error = systemError(path, "cannot open the production record");
        return false;
    }
    // Other writers (a second station on a shared folder) take the same lock, so the size
    // read here stays the end of the file until the line is out.
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = systemError(path, "cannot lock the production record");
            return false;
        }
    }
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0) {
        error = systemError(path, "cannot read the size of the production record");
        return false;
    }
    const QByteArray bytes = st.st_size == 0 ? header() + text : text;
    ssize_t written = -1;
    do {
        written = ::write(fd.get(), bytes.constData(), size_t(bytes.size()));
    } while (written < 0 && errno == EINTR);
    if (written == ssize_t(bytes.size()))
        return true;
    error = written < 0 ? systemError(path, "cannot write the production record")
                        : QStringLiteral("the production record %1 is full").arg(path);
    if (written > 0 && ::ftruncate(fd.get(), st.st_size) != 0)
        error += QStringLiteral("; the partial line could not be removed");
    return false;
}

} // namespace productionrecord
