#include "logformatter.h"

#include "logreader.h"
#include "opcodenames.h"
#include "protocol.h"
#include "recordfields.h"

#include <QList>
#include <QString>
#include <ctime>

namespace {

void appendNumber(QByteArray& out, qint64 value)
{
    char digits[24];
    char* p = digits + sizeof digits;
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    out.append(p, int(digits + sizeof digits - p));
}

void appendOpcode(QByteArray& out, quint16 opcode)
{
    if (const char* known = opcodenames::knownName(opcode)) {
        out.append(known);
        return;
    }
    static const char kHex[] = "0123456789abcdef";
    const char text[6] = {'0', 'x', kHex[opcode >> 12], kHex[(opcode >> 8) & 0xF], kHex[(opcode >> 4) & 0xF],
                          kHex[opcode & 0xF]};
    out.append(text, 6);
}

void appendPeer(QByteArray& out, const LogRecord& r)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        appendNumber(out, (r.address >> shift) & 0xFF);
        out.append(shift > 0 ? '.' : ':');
    }
    appendNumber(out, r.port);
}

void appendJsonString(QByteArray& out, const QByteArray& raw)
{
    static const char kHex[] = "0123456789abcdef";
    // Invalid UTF-8 becomes U+FFFD, so every line stays valid JSON.
    const QByteArray text = QString::fromUtf8(raw).toUtf8();
    out.append('"');
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\');
            out.append(c);
        } else if (u < 0x20) {
            out.append("\\u00");
            out.append(kHex[u >> 4]);
            out.append(kHex[u & 0xF]);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

bool needsQuotes(const char* p, int n)
{
    if (n == 0)
        return true;
    for (int i = 0; i < n; ++i) {
        const auto u = static_cast<unsigned char>(p[i]);
        if (u <= ' ' || p[i] == '"' || p[i] == '=' || p[i] == '\\' || u == 0x7F)
            return true;
    }
    return false;
}

void appendCsvCell(QByteArray& out, const QByteArray& cell)
{
    bool quote = false;
    for (const char c : cell)
        quote = quote || c == ',' || c == '"' || c == '\n' || c == '\r';
    if (quote) {
        out.append('"');
        for (const char c : cell) {
            if (c == '"')
                out.append('"');
            out.append(c);
        }
        out.append('"');
    } else {
        out.append(cell);
    }
}

} // namespace

QByteArray LogFormatter::header() const
{
    return m_format == Csv ? QByteArrayLiteral("time,dir,peer,opcode,seqnum,length,fields\n") : QByteArray();
}

void LogFormatter::appendTime(QByteArray& out, qint64 timeMs)
{
    const qint64 second = timeMs >= 0 ? timeMs / 1000 : (timeMs - 999) / 1000;
    if (second != m_cachedSecond) {
        const std::time_t t = std::time_t(second);
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(m_cachedStamp, 20, "%Y-%m-%d %H:%M:%S", &local);
        m_cachedSecond = second;
    }
    const int ms = int(timeMs - second * 1000);
    m_cachedStamp[19] = '.';
    m_cachedStamp[20] = char('0' + ms / 100);
    m_cachedStamp[21] = char('0' + ms / 10 % 10);
    m_cachedStamp[22] = char('0' + ms % 10);
    out.append(m_cachedStamp, 23);
}

void LogFormatter::appendFieldsText(QByteArray& out, const RecordFields& fields) const
{
    bool first = true;
    for (const RecordField& f : fields.fields()) {
        if (!first)
            out.append(' ');
        first = false;
        out.append(f.name);
        out.append('=');
        if (f.kind == RecordField::Text && needsQuotes(fields.value(f), f.length))
            appendJsonString(out, fields.valueBytes(f));
        else
            out.append(fields.value(f), f.length);
    }
}

void LogFormatter::appendFieldsJson(QByteArray& out, const RecordFields& fields) const
{
    out.append('{');
    bool first = true;
    for (const RecordField& f : fields.fields()) {
        if (!first)
            out.append(',');
        first = false;
        out.append('"');
        out.append(f.name);
        out.append("\":");
        switch (f.kind) {
        case RecordField::Number: out.append(fields.value(f), f.length); break;
        case RecordField::Text: appendJsonString(out, fields.valueBytes(f)); break;
        case RecordField::NumberList:
            out.append('[');
            out.append(fields.value(f), f.length);
            out.append(']');
            break;
        case RecordField::TextList: {
            out.append('[');
            const QList<QByteArray> items = fields.valueBytes(f).split(',');
            for (int i = 0; i < items.size(); ++i) {
                if (i > 0)
                    out.append(',');
                appendJsonString(out, items.at(i));
            }
            out.append(']');
            break;
        }
        }
    }
    out.append('}');
}

void LogFormatter::append(QByteArray& out, const LogRecord& record, const RecordFields& fields)
{
    const bool whole = record.frame.size() >= protocol::kHeaderSize;
    const protocol::FrameHeader h = protocol::parseHeader(record.frame);
    const int length = qMax(0, record.frame.size() - protocol::kHeaderSize);
    const char* dir = record.direction == 1 ? "out" : "in";

    switch (m_format) {
    case Text:
        appendTime(out, record.timeMs);
        out.append(record.direction == 1 ? " out " : " in  ");
        appendPeer(out, record);
        out.append(' ');
        if (whole)
            appendOpcode(out, h.opcode);
        else
            out.append("(short frame)");
        if (whole) {
            out.append(" seq=");
            appendNumber(out, h.seqnum);
        }
        out.append(" len=");
        appendNumber(out, length);
        if (!fields.fields().isEmpty()) {
            out.append(' ');
            appendFieldsText(out, fields);
        }
        break;
    case Csv: {
        appendTime(out, record.timeMs);
        out.append(',');
        out.append(dir);
        out.append(',');
        appendPeer(out, record);
        out.append(',');
        if (whole)
            appendOpcode(out, h.opcode);
        out.append(',');
        if (whole)
            appendNumber(out, h.seqnum);
        out.append(',');
        appendNumber(out, length);
        out.append(',');
        m_cell.resize(0);
        appendFieldsText(m_cell, fields);
        appendCsvCell(out, m_cell);
        break;
    }
    case Jsonl:
        out.append("{\"time\":\"");
        appendTime(out, record.timeMs);
        out.append("\",\"time_ms\":");
        appendNumber(out, record.timeMs);
        out.append(",\"dir\":\"");
        out.append(dir);
        out.append("\",\"peer\":\"");
        appendPeer(out, record);
        out.append("\",\"opcode\":");
        if (whole) {
            out.append('"');
            appendOpcode(out, h.opcode);
            out.append("\",\"seqnum\":");
            appendNumber(out, h.seqnum);
        } else {
            out.append("null,\"seqnum\":null");
        }
        out.append(",\"length\":");
        appendNumber(out, length);
        out.append(",\"fields\":");
        appendFieldsJson(out, fields);
        out.append('}');
        break;
    }
    out.append('\n');
}
