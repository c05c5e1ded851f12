#pragma once
// The last hour of every heard modem's link, built from the status reports the station gets
// anyway; the current modem's extended status refines its newest sample.

#include "linksample.h"
#include "opabonent.h"
#include "reportinterval.h"
#include "samplering.h"

#include <QHash>
#include <QObject>
#include <QVector>
#include <functional>

class Client;

using ModemKey = quint64; // IPv4 address and UDP port

class LinkHistory : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kSpanMs = 3600 * 1000;
    // An hour at ten reports a second.
    static constexpr int kDefaultCapacity = 36000;

    explicit LinkHistory(int capacityPerModem = kDefaultCapacity, QObject* parent = nullptr);

    static ModemKey keyOf(const QHostAddress& address, quint16 port);
    static QString textOf(ModemKey key);

    // Feeds the history from the modem link's list signals and the current modem's reports.
    void follow(Client& client);
    // Source of "now" for the extended status, ms since the epoch.
    void setClock(std::function<qint64()> clock);

    void setCurrentModem(ModemKey key);
    ModemKey currentModem() const { return m_current; }

    QList<ModemKey> modems() const { return m_modems.keys(); }
    bool isLost(ModemKey key) const;
    // Samples of one modem with fromMs <= time < toMs, oldest first.
    QVector<LinkSample> samples(ModemKey key, qint64 fromMs, qint64 toMs) const;
    // The newest sample time of a modem; -1 when it has none.
    qint64 newestMs(ModemKey key) const;
    int sampleCount(ModemKey key) const;

public slots:
    void updateAbonents(QList<OpAbonent> list);
    void deleteAbonents(QList<OpAbonent> list);
    void extendedStatus(quint16 seqnum, const QByteArray& rep);

signals:
    void sampleAdded(quint64 key, double rssiDbm, bool sync);
    void modemLost(quint64 key);

private:
    struct Modem {
        SampleRing ring;
        ReportInterval interval;
        bool lost = false;
    };

    Modem& modem(ModemKey key);
    void add(ModemKey key, const OpAbonent& abonent);

    const int m_capacity;
    QHash<ModemKey, Modem> m_modems;
    ModemKey m_current = 0;
    std::function<qint64()> m_clock;
};
