#include "link_watch.h"

#include "journal.h"

#include <QHostAddress>

namespace {

// A jump further than this is a restart or a stray datagram, not lost reports.
constexpr int kLargestGap = 1000;

} // namespace

QString LinkWatch::modemName(quint32 ipv4, quint16 port)
{
    return QStringLiteral("%1:%2").arg(QHostAddress(ipv4).toString()).arg(port);
}

void LinkWatch::heard(quint32 ipv4, quint16 port, quint16 seqnum)
{
    auto found = modems.find(key(ipv4, port));
    if (found == modems.end() || !found->present) {
        const bool returned = found != modems.end();
        if (!returned)
            found = modems.insert(key(ipv4, port), Modem{});
        *found = Modem{};
        found->present = true;
        found->lastSeqnum = seqnum;
        if (journal)
            journal->append(JournalEntry::Modem, modemName(ipv4, port),
                            returned ? QStringLiteral("Модем вернулся") : QStringLiteral("Модем появился"));
        return;
    }
    Modem& modem = *found;
    const int gap = quint16(seqnum - modem.lastSeqnum);
    if (gap == 0 || gap > kLargestGap) {
        modem.lastSeqnum = seqnum;
        return;
    }
    modem.lastSeqnum = seqnum;
    modem.expected += gap;
    modem.received += 1;
    judgeLoss(ipv4, port, modem);
    // Fading keeps the estimate on the recent reports.
    if (modem.expected > kWindow) {
        const double keep = kWindow / modem.expected;
        modem.expected *= keep;
        modem.received *= keep;
    }
}

void LinkWatch::judgeLoss(quint32 ipv4, quint16 port, Modem& modem)
{
    if (modem.expected < kWindow / 2)
        return;
    const double share = 1.0 - modem.received / modem.expected;
    if (!modem.alarmed && share > kLossAlarm) {
        modem.alarmed = true;
        if (journal)
            journal->append(JournalEntry::LinkLoss, modemName(ipv4, port),
                            QStringLiteral("Потери отчётов %1 %").arg(qRound(share * 100)));
    } else if (modem.alarmed && share < kLossClear) {
        modem.alarmed = false;
        if (journal)
            journal->append(JournalEntry::LinkLoss, modemName(ipv4, port),
                            QStringLiteral("Потери отчётов ниже %1 %").arg(qRound(kLossClear * 100)));
    }
}

void LinkWatch::lost(quint32 ipv4, quint16 port)
{
    auto found = modems.find(key(ipv4, port));
    if (found == modems.end() || !found->present)
        return;
    found->present = false;
    if (journal)
        journal->append(JournalEntry::Modem, modemName(ipv4, port), QStringLiteral("Модем потерян"));
}

double LinkWatch::loss(quint32 ipv4, quint16 port) const
{
    const auto found = modems.constFind(key(ipv4, port));
    if (found == modems.constEnd() || found->expected < kWindow / 2)
        return 0;
    return 1.0 - found->received / found->expected;
}
