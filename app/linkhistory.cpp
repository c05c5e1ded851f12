#include "linkhistory.h"

#include "client.h"
#include "status_records.h"

#include <QDateTime>

namespace {

// An extended status refines the newest sample only if that one is this fresh.
constexpr qint64 kRefineWindowMs = 2000;

} // namespace

LinkHistory::LinkHistory(int capacityPerModem, QObject* parent)
    : QObject(parent)
    , m_capacity(capacityPerModem)
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

ModemKey LinkHistory::keyOf(const QHostAddress& address, quint16 port)
{
    return (ModemKey(address.toIPv4Address()) << 16) | port;
}

QString LinkHistory::textOf(ModemKey key)
{
    return QStringLiteral("%1:%2").arg(QHostAddress(quint32(key >> 16)).toString()).arg(quint16(key));
}

void LinkHistory::follow(Client& client)
{
    connect(&client, &Client::signal_UpdatedAbonents, this, &LinkHistory::updateAbonents);
    connect(&client, &Client::signal_DeletedAbonents, this, &LinkHistory::deleteAbonents);
    connect(&client, &Client::signal_REP_EXTENDED_STATUS, this, &LinkHistory::extendedStatus);
}

void LinkHistory::setClock(std::function<qint64()> clock)
{
    m_clock = std::move(clock);
}

void LinkHistory::setCurrentModem(ModemKey key)
{
    m_current = key;
}

LinkHistory::Modem& LinkHistory::modem(ModemKey key)
{
    auto it = m_modems.find(key);
    if (it == m_modems.end())
        it = m_modems.insert(key, Modem{SampleRing(m_capacity), {}, false});
    return *it;
}

bool LinkHistory::isLost(ModemKey key) const
{
    const auto it = m_modems.constFind(key);
    return it == m_modems.constEnd() || it->lost;
}

QVector<LinkSample> LinkHistory::samples(ModemKey key, qint64 fromMs, qint64 toMs) const
{
    QVector<LinkSample> out;
    const auto it = m_modems.constFind(key);
    if (it == m_modems.constEnd())
        return out;
    const SampleRing& ring = it->ring;
    const int end = ring.lowerBound(toMs);
    const int begin = ring.lowerBound(fromMs);
    out.reserve(qMax(0, end - begin));
    for (int i = begin; i < end; ++i)
        out.append(ring.at(i));
    return out;
}

qint64 LinkHistory::newestMs(ModemKey key) const
{
    const auto it = m_modems.constFind(key);
    return it == m_modems.constEnd() || it->ring.isEmpty() ? -1 : it->ring.at(it->ring.size() - 1).ms;
}

int LinkHistory::sampleCount(ModemKey key) const
{
    const auto it = m_modems.constFind(key);
    return it == m_modems.constEnd() ? 0 : it->ring.size();
}

void LinkHistory::updateAbonents(QList<OpAbonent> list)
{
    // Exactly one entry carries the report being announced.
    for (const OpAbonent& abonent : qAsConst(list)) {
        if (abonent.updated) {
            add(keyOf(abonent.address, abonent.port), abonent);
            return;
        }
    }
}

void LinkHistory::add(ModemKey key, const OpAbonent& abonent)
{
    Modem& m = modem(key);
    const ContStatus status = records::decodeContStatus(abonent.status);
    const ReportInterval::Span span = m.interval.next(abonent.last_seen, abonent.seqnum);
    LinkSample s;
    s.ms = abonent.last_seen;
    s.rssiCentiDb = qint16(-100 * int(status.rssi));
    s.temp1CentiC = qint16(100 * status.temp1);
    s.temp2CentiC = qint16(100 * status.temp2);
    s.received = status.received;
    s.errors = status.errors;
    s.lost = status.lost;
    s.sent = status.sent;
    s.intervalMs = quint16(span.ms);
    s.sync = status.sync != 0;
    s.gapBefore = span.gap || m.lost;
    m.lost = false;
    m.ring.append(s);
    m.ring.dropBefore(s.ms - kSpanMs);
    emit sampleAdded(key, s.rssiDbm(), s.sync);
}

void LinkHistory::deleteAbonents(QList<OpAbonent> list)
{
    for (const OpAbonent& abonent : qAsConst(list)) {
        const ModemKey key = keyOf(abonent.address, abonent.port);
        // Its history stays for the rest of the run.
        modem(key).lost = true;
        emit modemLost(key);
    }
}

void LinkHistory::extendedStatus(quint16, const QByteArray& rep)
{
    auto it = m_modems.find(m_current);
    if (m_current == 0 || it == m_modems.end() || it->ring.isEmpty())
        return;
    LinkSample& s = it->ring.newest();
    if (s.refined || m_clock() - s.ms > kRefineWindowMs)
        return;
    const ExtendedStatus status = records::decodeExtendedStatus(rep);
    s.rssiCentiDb = qint16(-qMin<int>(status.rssi, 0x7FFF));
    s.temp1CentiC = status.temp1;
    s.temp2CentiC = status.temp2;
    s.txPower = (status.flags & ExtendedStatus::TxPowerOff) ? 0 : status.tx_power;
    s.refined = true;
}
