#pragma once
// Follows every modem heard on the control link: journals it appearing, being lost and returning,
// and estimates per modem the share of its reports lost on the way from gaps in their sequence numbers.

#include <QHash>
#include <QString>

class Journal;

class LinkWatch {
public:
    // Loss is judged over roughly this many expected reports, the older ones fading out.
    static constexpr int kWindow = 40;
    static constexpr double kLossAlarm = 0.10;
    static constexpr double kLossClear = 0.05;

    void setJournal(Journal* journal) { this->journal = journal; }

    // One report from the modem at ipv4:port with this sequence number.
    void heard(quint32 ipv4, quint16 port, quint16 seqnum);
    // The modem aged out of the abonent list.
    void lost(quint32 ipv4, quint16 port);
    // Estimated share of lost reports, 0 for a modem not heard or not heard long enough.
    double loss(quint32 ipv4, quint16 port) const;

    static QString modemName(quint32 ipv4, quint16 port);

private:
    struct Modem {
        bool present = false;
        bool alarmed = false;
        quint16 lastSeqnum = 0;
        double expected = 0;
        double received = 0;
    };

    static quint64 key(quint32 ipv4, quint16 port) { return (quint64(ipv4) << 16) | port; }
    void judgeLoss(quint32 ipv4, quint16 port, Modem& modem);

    QHash<quint64, Modem> modems;
    Journal* journal = nullptr;
};
