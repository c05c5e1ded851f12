#include "targetaddress.h"

#include "config_file.h"

bool TargetAddress::parse(const QString& text, TargetAddress& target, QString& error)
{
    const QStringList parts = text.split(':');
    uint32_t ip = 0;
    bool portOk = true;
    uint port = 40005;
    if (parts.size() == 2)
        port = parts.at(1).toUInt(&portOk, 10);
    if (parts.size() > 2 || !configfile::parseAddress(parts.at(0), ip) || !portOk || port == 0 || port > 65535) {
        error = QStringLiteral("bad modem address \"%1\": expected a.b.c.d or a.b.c.d:port").arg(text);
        return false;
    }
    const uint32_t firstOctet = ip >> 24;
    if (ip == 0 || (firstOctet >= 224 && ip != 0xFFFFFFFF)) {
        error = QStringLiteral("bad modem address \"%1\": not a single host or broadcast address").arg(text);
        return false;
    }
    target.address = QHostAddress(ip);
    target.port = quint16(port);
    // Without the prefix length a .255 host cannot be told from a subnet broadcast; both count.
    target.broadcast = ip == 0xFFFFFFFF || (ip & 0xFF) == 0xFF;
    return true;
}
