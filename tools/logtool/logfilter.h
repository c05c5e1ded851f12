#pragma once
// Which records zarnik-log shows: by peer address and port, opcode, direction and time.

#include <QSet>
#include <QString>
#include <limits>

struct LogRecord;

struct LogFilter {
    bool anyAddress = true;
    quint32 address = 0; // host order
    quint16 port = 0;    // 0: any port
    QSet<quint16> opcodes; // empty: every opcode
    int direction = -1;    // -1 both, 0 received, 1 sent
    qint64 sinceMs = std::numeric_limits<qint64>::min();
    qint64 untilMs = std::numeric_limits<qint64>::max();

    bool accepts(const LogRecord& record) const;

    // "ADDR" or "ADDR:PORT"; false when the text is neither.
    bool setPeer(const QString& text);
    // Names or numbers separated by commas.
    bool setOpcodes(const QString& text);
    // "yyyy-MM-dd[ hh:mm[:ss[.zzz]]]" (or with T) in local time, or milliseconds since the epoch.
    static bool parseTime(const QString& text, qint64& ms);
};
