#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

class QTextStream;

// Reads delimited-text records from a text stream, one record per call.
//
// Records end at LF, CR LF or a lone CR. A field that begins with the quote character is
// quoted: the delimiter, CR and LF are data inside it, a doubled quote stands for one quote,
// and CR LF or a lone CR is stored as one LF. A quote inside an unquoted field is an ordinary
// character. After a closing quote, any character other than the quote, the delimiter or a
// line end is taken into the field and quoting resumes. Every character is tested against the
// quote first, then CR, then LF, then the delimiter, which decides how configurations with a
// delimiter or quote equal to a line-end character (or to each other) behave.
//
// The reader pulls decoded text from the stream in chunks, so the stream position runs ahead
// of the records handed out: use one reader for the whole input.
class CDelimRecordReader
{
public:
    CDelimRecordReader(QTextStream& stream, QChar delimiter, QChar quote);

    // Replaces `fields` with the next record. True when a record was read: a line end was seen
    // (even with no fields, as for an empty line), or the input ended after at least one field.
    [[nodiscard]] bool readRecord(QStringList& fields);

private:
    enum class EState { Start, Plain, Quoted, QuoteSeen };

    // True when a character is waiting at m_Pos, reading the next chunk if needed.
    bool haveInput() { return m_Pos < m_Buffer.size() || fillBuffer(); }
    bool fillBuffer();
    // After a CR: drops one LF if it comes next; any other character stays for the next read.
    void skipFollowingLf();
    // Moves a run of characters that the state merely adds to the field, up to the next
    // character that needs a decision (or the end of the buffered chunk).
    void takeRun(EState state, QString& field);

    QTextStream& m_Stream;
    const QChar m_Delimiter;
    const QChar m_Quote;
    QString m_Buffer;
    int m_Pos = 0;
};

// Writes delimited-text records. A field is quoted only when it holds the delimiter, the quote
// character or an LF (a CR alone does not cause quoting); quotes inside are doubled. Every
// record is padded with empty fields up to the column count and ends with LF.
class CDelimRecordWriter
{
public:
    CDelimRecordWriter(QTextStream& stream, QChar delimiter, QChar quote, int columnCount);

    void writeRecord(const QStringList& fields);

private:
    bool needsQuoting(const QString& field) const;

    QTextStream& m_Stream;
    const QChar m_Delimiter;
    const QChar m_Quote;
    const QString m_DoubledQuote;
    const int m_ColumnCount;
};
