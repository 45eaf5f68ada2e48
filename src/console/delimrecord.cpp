#include "delimrecord.h"

#include <QTextStream>

namespace {
constexpr QChar kCr = QLatin1Char('\r');
constexpr QChar kLf = QLatin1Char('\n');
// Characters decoded per read from the stream; large enough to make the per-chunk cost vanish.
constexpr qint64 kChunkChars = 64 * 1024;
} // namespace

CDelimRecordReader::CDelimRecordReader(QTextStream& stream, QChar delimiter, QChar quote)
    : m_Stream(stream), m_Delimiter(delimiter), m_Quote(quote)
{}

bool CDelimRecordReader::fillBuffer()
{
    m_Buffer = m_Stream.read(kChunkChars);
    m_Pos = 0;
    return !m_Buffer.isEmpty();
}

void CDelimRecordReader::skipFollowingLf()
{
    if (haveInput() && m_Buffer.at(m_Pos) == kLf)
        ++m_Pos;
}

void CDelimRecordReader::takeRun(EState state, QString& field)
{
    const QChar* data = m_Buffer.constData();
    const int end = m_Buffer.size();
    int pos = m_Pos;
    if (state == EState::Plain) {
        // The quote is tested first and is plain data here, whatever else it equals.
        while (pos < end) {
            const QChar c = data[pos];
            if (c != m_Quote && (c == kCr || c == kLf || c == m_Delimiter))
                break;
            ++pos;
        }
    } else if (state == EState::Quoted) {
        while (pos < end) {
            const QChar c = data[pos];
            if (c == m_Quote || c == kCr || c == kLf)
                break;
            ++pos;
        }
    }
    if (pos > m_Pos) {
        field.append(data + m_Pos, pos - m_Pos);
        m_Pos = pos;
    }
}

bool CDelimRecordReader::readRecord(QStringList& fields)
{
    fields.clear();
    QString field;
    EState state = EState::Start;
    // Completes the current field; the field text starts empty again.
    const auto appendField = [&fields, &field] {
        fields.append(field);
        field.clear();
    };

    for (;;) {
        if (!haveInput()) {
            // An unterminated record (or quoted field) ends with the input.
            if (!field.isEmpty())
                appendField();
            return !fields.isEmpty();
        }
        takeRun(state, field);
        if (m_Pos == m_Buffer.size())
            continue;
        const QChar c = m_Buffer.at(m_Pos++);

        switch (state) {
        case EState::Start:
            if (c == m_Quote) {
                state = EState::Quoted;
            } else if (c == kCr) {
                appendField();
                skipFollowingLf();
                return true;
            } else if (c == kLf) {
                return true;
            } else if (c == m_Delimiter) {
                appendField();
            } else {
                field.append(c);
                state = EState::Plain;
            }
            break;
        case EState::Plain:
            if (c == m_Quote) {
                field.append(c);
            } else if (c == kCr) {
                appendField();
                skipFollowingLf();
                return true;
            } else if (c == kLf) {
                appendField();
                return true;
            } else if (c == m_Delimiter) {
                appendField();
                state = EState::Start;
            } else {
                field.append(c);
            }
            break;
        case EState::Quoted:
            if (c == m_Quote) {
                state = EState::QuoteSeen;
            } else if (c == kCr) {
                field.append(kLf);
                skipFollowingLf();
            } else {
                field.append(c);
            }
            break;
        case EState::QuoteSeen:
            if (c == m_Quote) {
                field.append(c);
                state = EState::Quoted;
            } else if (c == kCr) {
                appendField();
                skipFollowingLf();
                return true;
            } else if (c == kLf) {
                appendField();
                return true;
            } else if (c == m_Delimiter) {
                appendField();
                state = EState::Start;
            } else {
                // A stray character after the closing quote reopens the quoted field.
                field.append(c);
                state = EState::Quoted;
            }
            break;
        }
    }
}

CDelimRecordWriter::CDelimRecordWriter(QTextStream& stream, QChar delimiter, QChar quote,
                                       int columnCount)
    : m_Stream(stream), m_Delimiter(delimiter), m_Quote(quote), m_DoubledQuote(QString(2, quote)),
      m_ColumnCount(columnCount)
{}

bool CDelimRecordWriter::needsQuoting(const QString& field) const
{
    for (const QChar c : field) {
        if (c == m_Delimiter || c == m_Quote || c == kLf)
            return true;
    }
    return false;
}

void CDelimRecordWriter::writeRecord(const QStringList& fields)
{
    const int count = fields.size();
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            m_Stream << m_Delimiter;
        const QString& field = fields.at(i);
        if (needsQuoting(field)) {
            QString doubled = field;
            doubled.replace(m_Quote, m_DoubledQuote);
            m_Stream << m_Quote << doubled << m_Quote;
        } else {
            m_Stream << field;
        }
    }
    // Pad to the column count: every record written has at least that many fields.
    for (int i = count; i < m_ColumnCount; ++i) {
        if (i > 0)
            m_Stream << m_Delimiter;
    }
    m_Stream << kLf;
}
