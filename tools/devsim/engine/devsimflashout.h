#pragma once

#include <QSet>
#include <QString>

class CDevSimFlash;

// Writes what the simulated bootloader received into a folder, so a test can compare it with
// the images it uploaded:
//   flashed.txt        one line per image and per block, key=value fields:
//                      image=N type= main= sub= start= blocks= complete=
//                      block=N.K adr= plain= typebyte=0x.. crc16=0x.... app= bytes= complete=
//                      file=imageN_blockK.bin
//   imageN_blockK.bin  the block's reassembled bytes (plain bytes and the padding sent)
//   violations.txt     one line per refused or inconsistent step, in order
// Numbers are decimal unless written with 0x. Each file is written under a temporary name and
// renamed, so a reader never sees half a file. Block files are written once their block is
// ended, and not again.
class CDevSimFlashOut
{
public:
    explicit CDevSimFlashOut(const QString& dir) : m_Dir(dir) {}
    // Brings the folder up to date with `flash`; false when a file could not be written.
    [[nodiscard]] bool write(const CDevSimFlash& flash);

private:
    QString m_Dir;
    QSet<QString> m_BlocksWritten;
};
