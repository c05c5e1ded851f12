// discover: the modems whose status reports reach a local port.
#include "fleetcli.h"

#include "records.h"
#include "status_records.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

QString opmodeText(uint8_t opmode, QJsonObject& json)
{
    const OpMode m = records::decodeOpmode(opmode);
    json.insert("opmode", opmode);
    if (!m.valid) {
        json.insert("mode", QJsonValue::Null);
        json.insert("role", QJsonValue::Null);
        return QStringLiteral("--");
    }
    json.insert("mode", m.mode);
    json.insert("role", m.unit);
    return QString::number(m.mode);
}

} // namespace

int FleetCli::discover(const CommandOptions& o)
{
    if (!o.positional.isEmpty())
        return bad(QStringLiteral("discover takes no address; it listens on --port"));
    int listenMs = 3000;
    if (o.has("time") && !commandoptions::parseDuration(o.value("time"), listenMs))
        return bad(QStringLiteral("bad --time \"%1\": expected e.g. 500ms, 3s").arg(o.value("time")));
    int port = protocol::kDefaultControlPort;
    if (o.has("port") && !commandoptions::parseNumber(o.value("port"), 1, 65535, port))
        return bad(QStringLiteral("bad --port \"%1\": expected 1..65535").arg(o.value("port")));

    QUdpSocket socket;
    if (!socket.bind(QHostAddress::AnyIPv4, quint16(port), QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        m_err << "zarnik-cli: cannot bind UDP port " << port << ": " << socket.errorString() << '\n';
        return Failed;
    }
    // The last status of each modem, by "address:port" in address order.
    QMap<QPair<quint32, quint16>, ContStatus> heard;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < listenMs) {
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(int(listenMs - clock.elapsed())))
            continue;
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = socket.receiveDatagram();
            const QByteArray data = d.data();
            if (protocol::isFrame(data) && protocol::parseHeader(data).opcode == REP_CONT_STATUS)
                heard.insert({d.senderAddress().toIPv4Address(), quint16(d.senderPort())},
                             records::decodeContStatus(protocol::payloadOf(data)));
        }
    }
    const bool json = o.has("json");
    if (!json)
        m_out << QStringLiteral("%1 %2 %3 %4 %5 %6\n").arg("ADDRESS", -15).arg("PORT", -5).arg("MODE", -4)
                     .arg("ROLE", -4).arg("RSSI", -5).arg("SYNC");
    for (auto it = heard.cbegin(); it != heard.cend(); ++it) {
        const ContStatus& s = it.value();
        QJsonObject line{{"address", QHostAddress(it.key().first).toString()}, {"port", it.key().second},
            {"rssi_db", -int(s.rssi)}, {"sync", s.sync != 0}};
        const QString mode = opmodeText(s.opmode, line);
        if (json) {
            m_out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
        } else {
            m_out << QStringLiteral("%1 %2 %3 %4 %5 %6\n").arg(line.value("address").toString(), -15)
                         .arg(it.key().second, -5).arg(mode, -4)
                         .arg(line.value("role").isNull() ? QStringLiteral("--") : QString::number(line.value("role").toInt()), -4)
                         .arg(-int(s.rssi), -5).arg(s.sync ? QStringLiteral("yes") : QStringLiteral("no"));
        }
    }
    return Ok;
}
