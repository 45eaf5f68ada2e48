// Arbitrary bytes as a firmware bundle: the ustar reader, the manifest parser and the whole
// check against a trusted key (the corpus holds a bundle it signed, so inputs reach the
// manifest and the images). Nothing may crash; every entry must lie inside the input, a
// manifest that parses must obey its own rules, and an accepted bundle holds exactly what its
// manifest lists.
#include "firmware/bundlemanifest.h"
#include "firmware/firmwarebundle.h"
#include "firmware/ustarreader.h"

#include "fuzzsupport.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

namespace {

// The key that signed corpus/bundle/small.vfw (its secret was dropped).
const char kPublicKey[] = "untrusted comment: minisign public key 2B72F2132DA76F1B\n"
                          "RWQbb6ctE/JyK2oRbDG913+rsmYihcrwQ0ufArZlRu8yaWKJiToGy3tW\n";

void checkManifest(const QByteArray& bytes)
{
    SBundleManifest m;
    QString detail;
    if (bundlemanifest::parse(bytes, m, detail) != bundlemanifest::EOk)
        return;
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    if (m.release.trimmed().isEmpty() || m.securityCounter < 0 || m.images.isEmpty())
        std::abort();
    for (const SBundleManifest::SImage& image : m.images)
        if (!bundlemanifest::safeEntryName(image.file) || image.size < 0 ||
            !hex.match(image.sha256).hasMatch() || CFlashImageList::resourceIndex(image.image) < 0)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));

    ustar::SArchive archive;
    QString detail;
    if (ustar::read(bytes, archive, detail) == ustar::EOk) {
        for (const ustar::SEntry& entry : archive.entries)
            if (entry.offset < 0 ||
                entry.offset + ustar::kBlockBytes + entry.data.size() > bytes.size())
                std::abort();
    }
    checkManifest(bytes);

    static SBundlePolicy policy = [] {
        SBundlePolicy p;
        QString error;
        (void)minisign::parsePublicKeys(kPublicKey, QStringLiteral("fuzz"), p.trustedKeys, error);
        return p;
    }();
    CFirmwareBundle bundle;
    if (!bundle.loadBytes(bytes, policy).accepted())
        return 0;
    checkManifest(archive.entries.at(0).data);
    if (bundle.images().size() != bundle.manifest().images.size())
        std::abort();
    for (const CFirmwareBundle::SImage& image : bundle.images())
        if (image.image.m_Type < CPartitionTable::kMinPartType ||
            image.image.m_Type > CPartitionTable::kMaxPartType)
            std::abort();
    return 0;
}
