#include "feldelimtextmodel.h"

#include "delimrecord.h"

#include <QDebug>
#include <QFileDevice>
#include <QIODevice>
#include <QSaveFile>
#include <QTextCodec>
#include <QTextStream>

#include <algorithm>

namespace {
// The device's reason for a failed write; a short write leaves no reason of its own.
QString writeErrorText(const QIODevice& device)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    if (file && file->error() == QFileDevice::NoError)
        return QStringLiteral("write incomplete");
    return device.errorString();
}

// Sets the named codec on the stream; an unknown name leaves the stream's default codec.
// Byte-order marks do not switch the codec: a Latin-1 file may well begin with the bytes
// FF FE ("\u00ff\u00fe"), which would otherwise be taken for UTF-16.
void setStreamCodec(QTextStream& stream, const char* codecName)
{
    stream.setAutoDetectUnicode(false);
    QTextCodec* codec = codecName ? QTextCodec::codecForName(codecName) : nullptr;
    if (codec)
        stream.setCodec(codec);
    else
        qDebug() << "CFelDelimTextModel: unknown codec" << codecName << "- using"
                 << stream.codec()->name();
}
} // namespace

CFelDelimTextModel::CFelDelimTextModel(QObject* parent) : QAbstractTableModel(parent) {}

bool CFelDelimTextModel::load(QIODevice* device, bool hasHeader, QChar delimiter, QChar quote,
                              const char* codecName)
{
    if (!device || !device->isReadable()) {
        qDebug() << "CFelDelimTextModel::load: device not readable";
        return false;
    }
    device->setTextModeEnabled(false);

    m_Header.clear();
    m_Rows.clear();
    m_ColumnCount = 0;
    m_HasHeader = hasHeader;

    QTextStream stream(device);
    setStreamCodec(stream, codecName);
    CDelimRecordReader reader(stream, delimiter, quote);

    if (hasHeader) {
        if (!reader.readRecord(m_Header))
            return true;
        m_ColumnCount = m_Header.size();
    }
    QStringList fields;
    while (reader.readRecord(fields)) {
        m_ColumnCount = std::max(m_ColumnCount, qint32(fields.size()));
        m_Rows.append(fields);
    }
    return true;
}

bool CFelDelimTextModel::save(QIODevice* device, bool withHeader, QChar delimiter, QChar quote,
                              const char* codecName) const
{
    if (!device || !device->isWritable()) {
        qDebug() << "CFelDelimTextModel::save: device not writable";
        return false;
    }
    device->setTextModeEnabled(false);

    QTextStream stream(device);
    setStreamCodec(stream, codecName);
    CDelimRecordWriter writer(stream, delimiter, quote, m_ColumnCount);
    if (withHeader)
        writer.writeRecord(m_Header);
    for (const QStringList& row : m_Rows)
        writer.writeRecord(row);
    stream.flush();
    if (stream.status() != QTextStream::Ok) {
        qDebug() << "CFelDelimTextModel::save: write failed:" << writeErrorText(*device);
        return false;
    }
    return true;
}

CFelDelimTextModel::ESaveResult CFelDelimTextModel::saveFile(const QString& fileName,
                                                             bool withHeader, QChar delimiter,
                                                             QChar quote, const char* codecName,
                                                             QString* errorString) const
{
    QSaveFile file(fileName);
    QString error;
    auto result = ESaveResult::NotWritten;
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        result = ESaveResult::NotOpened;
    } else if (!save(&file, withHeader, delimiter, quote, codecName)) {
        error = writeErrorText(file);
        file.cancelWriting();
    } else if (!file.commit()) {
        error = file.errorString();
    } else {
        return ESaveResult::Saved;
    }
    qDebug() << "CFelDelimTextModel::saveFile:" << fileName << "not saved:" << error;
    if (errorString)
        *errorString = error;
    return result;
}

void CFelDelimTextModel::setHeader(const QStringList& header)
{
    // Sections that lose their text count as changed, as well as those that gain one.
    const int changed = std::max(m_Header.size(), header.size());
    m_Header = header;
    m_HasHeader = true;
    if (changed > 0)
        emit headerDataChanged(Qt::Horizontal, 0, changed - 1);
}

int CFelDelimTextModel::headerColumn(const QString& name, Qt::CaseSensitivity cs) const
{
    if (!m_HasHeader)
        return -1;
    for (int i = 0; i < m_Header.size(); ++i) {
        if (m_Header.at(i).compare(name, cs) == 0)
            return i;
    }
    return -1;
}

int CFelDelimTextModel::findRow(const QString& text, int column, Qt::CaseSensitivity cs) const
{
    if (column < 0 || column >= columnCount())
        return -1;
    for (int r = 0; r < m_Rows.size(); ++r) {
        const QStringList& row = m_Rows.at(r);
        if (column < row.size() && row.at(column).compare(text, cs) == 0)
            return r;
    }
    return -1;
}

QVariant CFelDelimTextModel::value(int row, int column) const
{
    if (row < 0 || row >= m_Rows.size())
        return QVariant();
    const QStringList& cells = m_Rows.at(row);
    if (column < 0 || column >= cells.size())
        return QVariant();
    return cells.at(column);
}

bool CFelDelimTextModel::setValue(int row, int column, const QVariant& value)
{
    if (row < 0 || row >= m_Rows.size() || column < 0 || column >= m_ColumnCount)
        return false;
    QStringList& cells = m_Rows[row];
    while (cells.size() <= column)
        cells.append(QString());
    cells[column] = value.toString();
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {});
    return true;
}

int CFelDelimTextModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_Rows.size();
}

int CFelDelimTextModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_ColumnCount;
}

bool CFelDelimTextModel::isServedRole(int role)
{
    return role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::UserRole;
}

QVariant CFelDelimTextModel::data(const QModelIndex& index, int role) const
{
    if (!isServedRole(role) || index.parent().isValid())
        return QVariant();
    return value(index.row(), index.column());
}

bool CFelDelimTextModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!isServedRole(role) || index.parent().isValid())
        return false;
    return setValue(index.row(), index.column(), value);
}

QVariant CFelDelimTextModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !isServedRole(role) || section < 0 ||
        section >= m_Header.size())
        return QVariant();
    return m_Header.at(section);
}

bool CFelDelimTextModel::setHeaderData(int section, Qt::Orientation orientation,
                                       const QVariant& value, int role)
{
    if (section < 0 || section >= m_ColumnCount || orientation != Qt::Horizontal ||
        !isServedRole(role))
        return false;
    while (m_Header.size() <= section)
        m_Header.append(QString());
    m_Header[section] = value.toString();
    emit headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

bool CFelDelimTextModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row > m_Rows.size() || count <= 0)
        return false;
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        m_Rows.insert(row, QStringList());
    endInsertRows();
    return true;
}

bool CFelDelimTextModel::insertColumns(int column, int count, const QModelIndex& parent)
{
    if (parent.isValid() || column < 0 || column > m_ColumnCount || count <= 0)
        return false;
    beginInsertColumns(parent, column, column + count - 1);
    m_ColumnCount += count;
    if (m_HasHeader && column < m_Header.size()) {
        for (int i = 0; i < count; ++i)
            m_Header.insert(column, QString());
    }
    // Rows that end at or before the column stay as they are: their missing cells read as
    // "no value" either way.
    for (QStringList& cells : m_Rows) {
        if (cells.size() > column) {
            for (int i = 0; i < count; ++i)
                cells.insert(column, QString());
        }
    }
    endInsertColumns();
    return true;
}

bool CFelDelimTextModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row >= m_Rows.size() || count <= 0)
        return false;
    count = std::min(count, m_Rows.size() - row);
    beginRemoveRows(parent, row, row + count - 1);
    m_Rows.erase(m_Rows.begin() + row, m_Rows.begin() + row + count);
    endRemoveRows();
    return true;
}

bool CFelDelimTextModel::removeColumns(int column, int count, const QModelIndex& parent)
{
    if (parent.isValid() || column < 0 || column >= m_ColumnCount || count <= 0)
        return false;
    count = std::min(count, m_ColumnCount - column);
    beginRemoveColumns(parent, column, column + count - 1);
    m_ColumnCount -= count;
    const auto removeCells = [column, count](QStringList& cells) {
        const int end = std::min(cells.size(), column + count);
        if (end > column)
            cells.erase(cells.begin() + column, cells.begin() + end);
    };
    removeCells(m_Header);
    for (QStringList& cells : m_Rows)
        removeCells(cells);
    endRemoveColumns();
    return true;
}

Qt::ItemFlags CFelDelimTextModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (!index.parent().isValid() && index.row() >= 0 && index.row() < rowCount() &&
        index.column() >= 0 && index.column() < columnCount())
        result |= Qt::ItemIsEditable;
    return result;
}
