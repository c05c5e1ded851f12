#pragma once
// A modem named on the command line, "a.b.c.d" or "a.b.c.d:port", and whether it reaches many
// modems at once (a broadcast address), which the commands only use when told to.

#include <QHostAddress>
#include <QString>

struct TargetAddress {
    QHostAddress address;
    quint16 port = 40005;
    bool broadcast = false;

    QString text() const { return QStringLiteral("%1:%2").arg(address.toString()).arg(port); }

    // False with one line saying what is wrong.
    static bool parse(const QString& text, TargetAddress& target, QString& error);
};
