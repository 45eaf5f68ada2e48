#include "productionrecord.h"

#include "firmware/flashimagelist.h"

#include <QCryptographicHash>
#include <QStringList>

namespace {

QString imagesText(const QVector<SProductionRecord::SImage>& written)
{
    QStringList images;
    for (const SProductionRecord::SImage& image : written)
        images << QStringLiteral("%1 %2 sha256:%3")
                      .arg(image.name, image.version, QString::fromLatin1(image.sha256));
    return images.join(QLatin1Char(';'));
}

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

} // namespace

namespace productionrecord {

const QVector<SColumn>& columnDefs()
{
    using R = const SProductionRecord&;
    static const QVector<SColumn> columns = {
        {kTime, "timestamptz", 1, [](R r) { return r.time.toUTC().toString(Qt::ISODate); }},
        {"port", "text", 1, [](R r) { return r.port; }},
        {kModel, "text", 1, [](R r) { return r.model; }},
        {kSerial, "bigint", 1, [](R r) { return QString::number(r.serial); }},
        {"boot_before", "text", 1, [](R r) { return r.bootBefore; }},
        {"appl_before", "text", 1, [](R r) { return r.applBefore; }},
        {"wifi_before", "text", 1, [](R r) { return r.wifiBefore; }},
        {"boot_after", "text", 1, [](R r) { return r.bootAfter; }},
        {"appl_after", "text", 1, [](R r) { return r.applAfter; }},
        {"wifi_after", "text", 1, [](R r) { return r.wifiAfter; }},
        {"images", "text", 1, [](R r) { return imagesText(r.images); }},
        {kDuration, "numeric(12,1)", 1,
         [](R r) { return QString::number(double(r.durationMs) / 1000.0, 'f', 1); }},
        {"retries", "integer", 1, [](R r) { return QString::number(r.retries); }},
        {"exit_code", "integer", 1, [](R r) { return QString::number(r.exitCode); }},
        {kOutcome, "text", 1, [](R r) { return r.outcome; }},
        {kStation, "text", 1, [](R r) { return r.station; }},
        {"operator", "text", 1, [](R r) { return r.operatorName; }},
        // Whether the unit confirmed its update, and what it did not confirm.
        {"verified", "text", 2,
         [](R r) { return r.verified ? QStringLiteral("yes") : QStringLiteral("no"); }},
        {"verify_detail", "text", 2, [](R r) { return r.verifyDetail; }},
        // The firmware bundle the images came from (empty for the built-in images).
        {kBundle, "text", 4, [](R r) { return r.bundle; }},
        {"bundle_sha256", "text", 4, [](R r) { return r.bundleSha256; }},
        {"bundle_key", "text", 4, [](R r) { return r.bundleKey; }},
        {kBundleCounter, "bigint", 4,
         [](R r) { return r.bundleCounter < 0 ? QString() : QString::number(r.bundleCounter); }},
    };
    return columns;
}

const SColumn* column(const QString& name)
{
    for (const SColumn& c : columnDefs())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QByteArray header()
{
    QByteArray out;
    for (const SColumn& column : columnDefs()) {
        if (!out.isEmpty())
            out += ',';
        out += column.name;
    }
    return out + '\n';
}

QStringList columns()
{
    QStringList out;
    for (const SColumn& column : columnDefs())
        out << QLatin1String(column.name);
    return out;
}

QStringList fields(const SProductionRecord& r)
{
    QStringList values;
    for (const SColumn& column : columnDefs())
        values << column.text(r);
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

} // namespace productionrecord
