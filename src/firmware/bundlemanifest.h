#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// The signed manifest of a firmware bundle (manifest.json): what the release is, its counter
// and the hash of every image file it carries. Parsed only after its signature was checked.
struct SBundleManifest
{
    struct SImage
    {
        QString image; // one of bundlemanifest::kImageNames
        QString file;  // the entry name in the archive
        qint64 size = 0;
        QString sha256; // 64 lower-case hex digits
    };

    static constexpr int kFormatVersion = 1;

    QString release;
    QString created; // UTC, ISO 8601, as written
    qint64 securityCounter = 0;
    QString notesEn, notesDe;
    QVector<SImage> images;
};

namespace bundlemanifest {

constexpr const char* kFormat = "ventaro-firmware-bundle";
// The six images the tool knows, by the names of their files in the built-in set.
constexpr const char* kImageNames[] = {"Application", "Bootloader1", "Bootloader2",
                                       "ventaroplus", "cc3200",      "cc3200_bridge"};

enum EResult {
    EOk,
    EFormat,  // not JSON of this format, or an unknown formatVersion
    EInvalid, // a field missing, of the wrong type or out of range
};

// `detail` names the field that is wrong.
[[nodiscard]] EResult parse(const QByteArray& bytes, SBundleManifest& out, QString& detail);
// The manifest as `bundle make` writes it (indented JSON, fields in a fixed order).
QByteArray write(const SBundleManifest& manifest);

// Entry names that are safe to write anywhere: ^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$.
bool safeEntryName(const QString& name);

} // namespace bundlemanifest
