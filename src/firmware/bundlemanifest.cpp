#include "bundlemanifest.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <cmath>
#include <iterator>
#include <vector>

namespace bundlemanifest {

namespace {

constexpr double kMaxExactInteger = 9007199254740992.0; // 2^53: JSON numbers are doubles

bool knownImage(const QString& name)
{
    for (const char* known : kImageNames)
        if (name == QLatin1String(known))
            return true;
    return false;
}

bool wholeNumber(const QJsonValue& v, qint64& out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!(d >= 0) || d > kMaxExactInteger || std::floor(d) != d)
        return false;
    out = qint64(d);
    return true;
}

bool lowerHex64(const QString& s)
{
    static const QRegularExpression re(QStringLiteral("^[0-9a-f]{64}$"));
    return re.match(s).hasMatch();
}

// "2026-12-10T09:00:00Z": a valid date and time in UTC.
bool utcTimestamp(const QString& s)
{
    if (!s.endsWith(QLatin1Char('Z')))
        return false;
    return QDateTime::fromString(s, Qt::ISODate).isValid() ||
           QDateTime::fromString(s, Qt::ISODateWithMs).isValid();
}

// Fields besides the known ones are refused: a misspelt policy field must not pass unseen.
bool onlyKeys(const QJsonObject& o, const QSet<QString>& known, const QString& where,
              QString& detail)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!known.contains(it.key())) {
            detail = QStringLiteral("%1 has an unknown field \"%2\"").arg(where, it.key());
            return false;
        }
    }
    return true;
}

// A key that an object of the JSON text names twice, or empty. Readers disagree about such a
// manifest (Qt takes the last value, others the first), so what was signed would be ambiguous.
// Keys are compared as decoded ("notes" and "not\u0065s" are one key).
QString repeatedKey(const QByteArray& json)
{
    struct SLevel
    {
        bool object;
        bool expectKey;
        QSet<QString> keys;
    };
    std::vector<SLevel> levels;
    for (int i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (c == '"') {
            int end = i + 1;
            while (end < json.size() && json.at(end) != '"')
                end += json.at(end) == '\\' ? 2 : 1;
            if (!levels.empty() && levels.back().object && levels.back().expectKey) {
                const QString key = QJsonDocument::fromJson('[' + json.mid(i, end - i + 1) + ']')
                                        .array()
                                        .at(0)
                                        .toString();
                if (levels.back().keys.contains(key))
                    return key;
                levels.back().keys.insert(key);
                levels.back().expectKey = false;
            }
            i = end;
        } else if (c == '{' || c == '[') {
            levels.push_back({c == '{', c == '{', {}});
        } else if ((c == '}' || c == ']') && !levels.empty()) {
            levels.pop_back();
        } else if (c == ',' && !levels.empty() && levels.back().object) {
            levels.back().expectKey = true;
        }
    }
    return {};
}

EResult invalid(QString& detail, const QString& text)
{
    detail = text;
    return EInvalid;
}

EResult parseImage(const QJsonValue& value, int index, SBundleManifest::SImage& image,
                   QString& detail)
{
    const QString where = QStringLiteral("images[%1]").arg(index);
    if (!value.isObject())
        return invalid(detail, QStringLiteral("%1 is not an object").arg(where));
    const QJsonObject o = value.toObject();
    if (!onlyKeys(o, {"image", "file", "size", "sha256"}, where, detail))
        return EInvalid;
    image.image = o.value(QLatin1String("image")).toString();
    image.file = o.value(QLatin1String("file")).toString();
    image.sha256 = o.value(QLatin1String("sha256")).toString();
    if (!knownImage(image.image))
        return invalid(detail, QStringLiteral("%1.image \"%2\" is none of Application, "
                                              "Bootloader1, Bootloader2, ventaroplus, cc3200, "
                                              "cc3200_bridge")
                                   .arg(where, image.image));
    if (!safeEntryName(image.file))
        return invalid(
            detail,
            QStringLiteral("%1.file \"%2\" is not a safe entry name").arg(where, image.file));
    if (!wholeNumber(o.value(QLatin1String("size")), image.size))
        return invalid(detail, QStringLiteral("%1.size is not a whole number of bytes").arg(where));
    if (!lowerHex64(image.sha256))
        return invalid(detail,
                       QStringLiteral("%1.sha256 is not 64 lower-case hex digits").arg(where));
    return EOk;
}

EResult parseImages(const QJsonValue& value, SBundleManifest& out, QString& detail)
{
    if (!value.isArray() || value.toArray().isEmpty())
        return invalid(detail, QStringLiteral("images is not a list of at least one image"));
    QSet<QString> names;
    QSet<QString> files;
    const QJsonArray list = value.toArray();
    for (int i = 0; i < list.size(); ++i) {
        SBundleManifest::SImage image;
        if (const EResult r = parseImage(list.at(i), i, image, detail))
            return r;
        if (names.contains(image.image))
            return invalid(detail, QStringLiteral("image %1 is listed twice").arg(image.image));
        const QString lowerFile = image.file.toLower();
        if (files.contains(lowerFile) || lowerFile.startsWith(QLatin1String("manifest.json")))
            return invalid(detail,
                           QStringLiteral("file %1 is listed twice or taken").arg(image.file));
        names << image.image;
        files << lowerFile;
        out.images << image;
    }
    return EOk;
}

} // namespace

bool safeEntryName(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$"));
    return re.match(name).hasMatch();
}

EResult parse(const QByteArray& bytes, SBundleManifest& out, QString& detail)
{
    out = SBundleManifest();
    const QString repeated = repeatedKey(bytes);
    if (!repeated.isEmpty()) {
        detail = QStringLiteral("manifest.json names \"%1\" twice in one object").arg(repeated);
        return EInvalid;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        detail = QStringLiteral("manifest.json is not a JSON object (%1)").arg(error.errorString());
        return EInvalid;
    }
    const QJsonObject o = doc.object();
    if (o.value(QLatin1String("format")).toString() != QLatin1String(kFormat)) {
        detail = QStringLiteral("manifest.json is not a %1 manifest").arg(QLatin1String(kFormat));
        return EFormat;
    }
    qint64 version = -1;
    if (!wholeNumber(o.value(QLatin1String("formatVersion")), version) ||
        version != SBundleManifest::kFormatVersion) {
        detail = QStringLiteral("formatVersion %1 is not known to this tool (it reads %2)")
                     .arg(o.value(QLatin1String("formatVersion")).toVariant().toString())
                     .arg(SBundleManifest::kFormatVersion);
        return EFormat;
    }
    if (!onlyKeys(
            o,
            {"format", "formatVersion", "release", "created", "securityCounter", "notes", "images"},
            QStringLiteral("the manifest"), detail))
        return EInvalid;
    out.release = o.value(QLatin1String("release")).toString();
    if (out.release.trimmed().isEmpty() || out.release.contains(QLatin1Char('\n')))
        return invalid(detail, QStringLiteral("release is not a one-line text"));
    out.created = o.value(QLatin1String("created")).toString();
    if (!utcTimestamp(out.created))
        return invalid(detail, QStringLiteral("created is not a UTC ISO 8601 time"));
    if (!wholeNumber(o.value(QLatin1String("securityCounter")), out.securityCounter))
        return invalid(detail, QStringLiteral("securityCounter is not a whole number >= 0"));
    const QJsonValue notes = o.value(QLatin1String("notes"));
    const QJsonObject n = notes.toObject();
    if (!notes.isObject() || !n.value(QLatin1String("en")).isString() ||
        !n.value(QLatin1String("de")).isString() ||
        !onlyKeys(n, {"en", "de"}, QStringLiteral("notes"), detail))
        return invalid(detail, QStringLiteral("notes is not {\"en\": text, \"de\": text}"));
    out.notesEn = n.value(QLatin1String("en")).toString();
    out.notesDe = n.value(QLatin1String("de")).toString();
    return parseImages(o.value(QLatin1String("images")), out, detail);
}

QByteArray write(const SBundleManifest& m)
{
    // QJsonObject sorts its keys; the fields are written in the documented order instead.
    auto str = [](const QString& s) {
        return QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    };
    QByteArray out = "{\n";
    out += "  \"format\": " + str(QLatin1String(kFormat)) + ",\n";
    out += "  \"formatVersion\": " + QByteArray::number(SBundleManifest::kFormatVersion) + ",\n";
    out += "  \"release\": " + str(m.release) + ",\n";
    out += "  \"created\": " + str(m.created) + ",\n";
    out += "  \"securityCounter\": " + QByteArray::number(m.securityCounter) + ",\n";
    out += "  \"notes\": {\"en\": " + str(m.notesEn) + ", \"de\": " + str(m.notesDe) + "},\n";
    out += "  \"images\": [";
    for (int i = 0; i < m.images.size(); ++i) {
        const SBundleManifest::SImage& image = m.images.at(i);
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"image\": " + str(image.image) + ", \"file\": " + str(image.file) +
               ", \"size\": " + QByteArray::number(image.size) +
               ", \"sha256\": " + str(image.sha256) + "}";
    }
    out += "\n  ]\n}\n";
    return out;
}

} // namespace bundlemanifest
