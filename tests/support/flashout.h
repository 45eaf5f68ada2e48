#pragma once

// What a simulated unit wrote with --flash-out, against the built-in images.

#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QString>
#include <QtTest>

namespace flashout {

// flashed.txt: one line of key=value fields per image and per block.
inline QHash<QString, QString> fields(const QString& line)
{
    QHash<QString, QString> out;
    for (const QString& item : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq > 0)
            out.insert(item.left(eq), item.mid(eq + 1));
    }
    return out;
}

// What a plus unit received (flashed.txt and the block files of --flash-out): the plus
// application, then the idle bootloader copy (2), each exactly as built in, block by block,
// and nothing refused.
inline void verifyPlusUpdate(const QString& flashOut)
{
    QFile flashed(QDir(flashOut).filePath(QStringLiteral("flashed.txt")));
    QVERIFY(flashed.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(flashed.readAll()).split('\n', Qt::SkipEmptyParts);
    const CFlashImageList builtIn;
    const int types[] = {CPartitionTable::EApplication, CPartitionTable::EBootloader2};
    int image = -1;
    int block = 0;
    const CFlashImage* want = nullptr;
    for (const QString& line : lines) {
        const auto f = fields(line);
        if (f.contains("image")) {
            ++image;
            QVERIFY2(image < 2, qPrintable(line));
            want = builtIn.find(types[image], CFlashImage::ESystemPlus);
            QVERIFY(want);
            QCOMPARE(f.value("type").toInt(), types[image]);
            QCOMPARE(f.value("complete"), QStringLiteral("1"));
            QCOMPARE(f.value("blocks").toInt(), want->m_MemBlocks.size());
            block = 0;
        } else if (f.contains("block")) {
            QVERIFY(want && block < want->m_MemBlocks.size());
            const SMemBlock& b = want->m_MemBlocks[block++];
            QCOMPARE(f.value("adr").toUInt(), b.m_MemAdr);
            QCOMPARE(f.value("plain").toUInt(), b.m_PlainLen);
            QFile bytes(QDir(flashOut).filePath(f.value("file")));
            QVERIFY2(bytes.open(QIODevice::ReadOnly), qPrintable(line));
            QVERIFY2(bytes.readAll() == b.m_BlockData, qPrintable(line));
        }
    }
    QCOMPARE(image, 1);
    QVERIFY(want && block == want->m_MemBlocks.size());
    QFile violations(QDir(flashOut).filePath(QStringLiteral("violations.txt")));
    QVERIFY(!violations.open(QIODevice::ReadOnly) || violations.readAll().trimmed().isEmpty());
}

} // namespace flashout
