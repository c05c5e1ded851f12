#pragma once
// Turns a decoded log record into one line of text, CSV or JSON, with the column names that
// the README documents; time stamps in local time with milliseconds.

#include <QByteArray>

struct LogRecord;
class RecordFields;

class LogFormatter {
public:
    enum Format { Text, Csv, Jsonl };

    explicit LogFormatter(Format format) : m_format(format) { m_cell.reserve(4096); }

    // The CSV header line; empty for the other formats.
    QByteArray header() const;

    // Appends the record's line, newline included.
    void append(QByteArray& out, const LogRecord& record, const RecordFields& fields);

    // "yyyy-MM-dd hh:mm:ss.zzz" in local time.
    void appendTime(QByteArray& out, qint64 timeMs);

private:
    void appendFieldsText(QByteArray& out, const RecordFields& fields) const;
    void appendFieldsJson(QByteArray& out, const RecordFields& fields) const;

    Format m_format;
    qint64 m_cachedSecond = -1;
    char m_cachedStamp[24] = {}; // date and time of m_cachedSecond, then room for the milliseconds
    QByteArray m_cell; // the CSV fields cell being built, reused
};
