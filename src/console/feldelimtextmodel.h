#pragma once

#include <QAbstractTableModel>
#include <QChar>
#include <QList>
#include <QStringList>

class QIODevice;

// A delimited text file (an optional header record plus data records of text cells) held as
// a table. The table is ragged: rows keep the length they were read with, a cell beyond its
// row's end but inside the column count has no value (an invalid variant) and is written as
// an empty field, and setting such a cell first extends its row with empty strings.
//
// All indexes are top-level: every operation given a valid parent does nothing.
// Served roles: Qt::DisplayRole, Qt::EditRole and Qt::UserRole, all with the same text.
class CFelDelimTextModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit CFelDelimTextModel(QObject* parent = nullptr);

    // Replaces the content with the records read from the device (text mode switched off,
    // text decoded with the named codec). With hasHeader the first record is the header.
    // False only when the device is not readable; the content is then unchanged. Malformed
    // input is never an error. Emits no model notifications.
    [[nodiscard]] bool load(QIODevice* device, bool hasHeader, QChar delimiter, QChar quote,
                            const char* codecName);
    // Writes the header record (when withHeader, whatever the header flag says) and every
    // row, each padded to the column count and ended with LF. False when the device is not
    // writable or a write to it failed.
    [[nodiscard]] bool save(QIODevice* device, bool withHeader, QChar delimiter, QChar quote,
                            const char* codecName) const;
    enum class ESaveResult { Saved, NotOpened, NotWritten };
    Q_ENUM(ESaveResult)
    // Saves to a file through QSaveFile: the file is replaced only when the whole content was
    // written, so a failed save leaves the previous file intact. On failure the reason is put
    // into errorString when given.
    [[nodiscard]] ESaveResult saveFile(const QString& fileName, bool withHeader, QChar delimiter,
                                       QChar quote, const char* codecName,
                                       QString* errorString = nullptr) const;

    // Replaces the header and sets the header flag; the column count is not changed.
    void setHeader(const QStringList& header);
    QStringList header() const { return m_Header; }
    bool hasHeader() const { return m_HasHeader; }
    // The first column whose header cell equals name, or -1 (always -1 without header flag).
    int headerColumn(const QString& name, Qt::CaseSensitivity cs) const;
    // The first row whose cell in column exists and equals text, or -1.
    int findRow(const QString& text, int column, Qt::CaseSensitivity cs) const;
    // The cell's text, or an invalid variant when the cell does not exist.
    QVariant value(int row, int column) const;
    // Stores value.toString() into a cell inside the row count and column count, extending
    // the row as needed, and emits dataChanged for that cell.
    bool setValue(int row, int column, const QVariant& value);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool insertColumns(int column, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeColumns(int column, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    static bool isServedRole(int role);

    QStringList m_Header;
    QList<QStringList> m_Rows;
    qint32 m_ColumnCount = 0;
    bool m_HasHeader = false;
};
