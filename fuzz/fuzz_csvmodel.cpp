// Loads arbitrary bytes into the delimited-text model. The first byte picks the header flag,
// the delimiter and quote pair and the codec; the rest is the file. Loading must never fail or
// crash. For the sane pairs the model's own output must load back to the same cells (missing
// cells read as empty ones) and save to the same bytes again.
#include "console/feldelimtextmodel.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {
struct SConfig
{
    char delimiter;
    char quote;
    bool roundTrip; // false where the pair collides with a line end or with itself
};

constexpr SConfig kConfigs[] = {
    {';', '"', true},   {',', '\'', true},  {'\t', '"', true},   {';', ';', false},
    {'\r', '"', false}, {';', '\n', false}, {'\n', '\r', false}, {'"', ';', true},
};
constexpr const char* kCodecs[] = {"ISO 8859-1", "UTF-8"};

bool load(CFelDelimTextModel& model, const QByteArray& bytes, bool header, const SConfig& config,
          const char* codec)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return model.load(&buffer, header, QLatin1Char(config.delimiter), QLatin1Char(config.quote),
                      codec);
}

QByteArray save(const CFelDelimTextModel& model, bool header, const SConfig& config,
                const char* codec)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!model.save(&buffer, header, QLatin1Char(config.delimiter), QLatin1Char(config.quote),
                    codec))
        std::abort();
    return buffer.data();
}

QStringList padded(QStringList cells, int columns)
{
    while (cells.size() < columns)
        cells << QString();
    return cells;
}

QStringList paddedRow(const CFelDelimTextModel& model, int row, int columns)
{
    QStringList cells;
    for (int c = 0; c < model.columnCount(); ++c) {
        const QVariant v = model.value(row, c);
        if (!v.isValid())
            break;
        cells << v.toString();
    }
    return padded(cells, columns);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    const bool header = selector & 0x01;
    const SConfig& config = kConfigs[(selector >> 1) % (sizeof kConfigs / sizeof kConfigs[0])];
    const char* codec = kCodecs[(selector >> 4) & 0x01];
    const QByteArray input(reinterpret_cast<const char*>(data + 1), int(size - 1));

    CFelDelimTextModel first;
    if (!load(first, input, header, config, codec))
        std::abort();
    // Every lookup stays in bounds, whatever the shape.
    (void)first.value(first.rowCount() - 1, first.columnCount() - 1);
    (void)first.findRow(QString(), first.columnCount() - 1, Qt::CaseInsensitive);
    const QByteArray saved = save(first, header, config, codec);
    if (!config.roundTrip)
        return 0;

    CFelDelimTextModel second;
    if (!load(second, saved, header, config, codec))
        std::abort();
    const int columns = first.columnCount();
    // A record of one empty field is written as an empty line and comes back without fields,
    // so the column count may only shrink.
    if (second.columnCount() > columns || second.rowCount() != first.rowCount())
        std::abort();
    if (header && padded(second.header(), columns) != padded(first.header(), columns))
        std::abort();
    for (int r = 0; r < first.rowCount(); ++r) {
        if (paddedRow(second, r, columns) != paddedRow(first, r, columns))
            std::abort();
    }
    if (second.columnCount() == columns && save(second, header, config, codec) != saved)
        std::abort();
    return 0;
}
