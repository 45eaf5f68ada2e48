#include "devsimflashout.h"

#include "devsimflash.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {
bool writeWhole(const QString& path, const QByteArray& bytes)
{
    const QString tmp = path + QStringLiteral(".tmp");
    QFile file(tmp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && std::rename(QFile::encodeName(tmp).constData(),
                                  QFile::encodeName(path).constData()) == 0;
}

QString hex(UINT32 v, int width)
{
    return QStringLiteral("0x%1").arg(v, width, 16, QLatin1Char('0'));
}
} // namespace

bool CDevSimFlashOut::write(const CDevSimFlash& flash)
{
    if (!QDir().mkpath(m_Dir))
        return false;
    const QDir out(m_Dir);
    QString summary = QStringLiteral("# what the simulated bootloader received\n");
    bool ok = true;
    const auto& images = flash.images();
    for (int i = 0; i < images.size(); ++i) {
        const SDevSimFlashedImage& img = images[i];
        summary +=
            QStringLiteral("image=%1 type=%2 main=%3 sub=%4 start=%5 blocks=%6 complete=%7\n")
                .arg(i + 1)
                .arg(img.type)
                .arg(img.mainVer)
                .arg(img.subVer)
                .arg(img.startAdr)
                .arg(img.blocks.size())
                .arg(img.complete ? 1 : 0);
        for (int k = 0; k < img.blocks.size(); ++k) {
            const SDevSimFlashedBlock& b = img.blocks[k];
            const QString name = QStringLiteral("image%1_block%2.bin").arg(i + 1).arg(k + 1);
            summary += QStringLiteral("block=%1.%2 adr=%3 plain=%4 typebyte=%5 crc16=%6 app=%7 "
                                      "bytes=%8 complete=%9 file=%10\n")
                           .arg(i + 1)
                           .arg(k + 1)
                           .arg(b.memAdr)
                           .arg(b.plainLen)
                           .arg(hex(b.typeByte, 2))
                           .arg(hex(b.crc16, 4))
                           .arg(b.appFlag ? 1 : 0)
                           .arg(b.data.size())
                           .arg(b.complete ? 1 : 0)
                           .arg(name);
            if (b.complete && !m_BlocksWritten.contains(name)) {
                if (writeWhole(out.filePath(name), b.data))
                    m_BlocksWritten.insert(name);
                else
                    ok = false;
            }
        }
    }
    QString violations;
    for (const QString& v : flash.violations())
        violations += v + QLatin1Char('\n');
    ok = writeWhole(out.filePath(QStringLiteral("violations.txt")), violations.toUtf8()) && ok;
    // The summary last: once it says complete, the block files are there.
    ok = writeWhole(out.filePath(QStringLiteral("flashed.txt")), summary.toUtf8()) && ok;
    return ok;
}
