#include "logfilter.h"

#include "logreader.h"
#include "opcodenames.h"
#include "protocol.h"

#include <QDateTime>
#include <QHostAddress>
#include <QStringList>

bool LogFilter::accepts(const LogRecord& record) const
{
    if (!anyAddress && record.address != address)
        return false;
    if (port != 0 && record.port != port)
        return false;
    if (direction >= 0 && record.direction != direction)
        return false;
    if (record.timeMs < sinceMs || record.timeMs > untilMs)
        return false;
    if (!opcodes.isEmpty()) {
        if (record.frame.size() < protocol::kHeaderSize)
            return false;
        return opcodes.contains(protocol::parseHeader(record.frame).opcode);
    }
    return true;
}

bool LogFilter::setPeer(const QString& text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    const QString host = colon < 0 ? text : text.left(colon);
    bool ok = true;
    quint16 newPort = 0;
    if (colon >= 0) {
        const uint value = text.mid(colon + 1).toUInt(&ok);
        ok = ok && value > 0 && value <= 0xFFFF;
        newPort = quint16(value);
    }
    bool isIpv4 = false;
    const quint32 newAddress = QHostAddress(host).toIPv4Address(&isIpv4);
    if (!ok || !isIpv4)
        return false;
    anyAddress = false;
    address = newAddress;
    port = newPort;
    return true;
}

bool LogFilter::setOpcodes(const QString& text)
{
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const std::optional<quint16> opcode = opcodenames::parse(item);
        if (!opcode)
            return false;
        opcodes.insert(*opcode);
    }
    return !opcodes.isEmpty();
}

bool LogFilter::parseTime(const QString& text, qint64& ms)
{
    const QString t = text.trimmed();
    bool isNumber = false;
    const qint64 number = t.toLongLong(&isNumber);
    if (isNumber) {
        ms = number;
        return true;
    }
    static const char* const kFormats[] = {"yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm",
                                           "yyyy-MM-ddThh:mm:ss.zzz", "yyyy-MM-ddThh:mm:ss", "yyyy-MM-ddThh:mm",
                                           "yyyy-MM-dd"};
    for (const char* format : kFormats) {
        const QDateTime when = QDateTime::fromString(t, QLatin1String(format));
        if (when.isValid()) {
            ms = when.toMSecsSinceEpoch();
            return true;
        }
    }
    return false;
}
