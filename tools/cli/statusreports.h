#pragma once
// The ten reports of the station's staged polling, asked of one modem and decoded for printing.

#include "modemexchange.h"

#include <QJsonObject>
#include <QList>
#include <QString>

struct PolledReport {
    quint16 opcode = 0;
    QString name;
    ModemExchange::Answer::Kind kind = ModemExchange::Answer::Silent;
    QJsonObject fields; // decoded report, empty unless it came
};

namespace statusreports {

// In the order of the staged polling.
QList<PolledReport> poll(ModemExchange& exchange);

// The least payload a report must hold to be decoded without guessing.
int minimumLength(quint16 report);

QJsonObject decode(quint16 report, const QByteArray& payload);

} // namespace statusreports
