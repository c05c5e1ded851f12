// Measures what one status report costs the window: the abonent list refresh that every report
// of every modem causes, plus the repaint, with 10, 100 and 1000 modems in the list.
//
//   build/tools/bench_abonents/bench_abonents [reports per size] [--awareness]
// --awareness: also the same with the list's health decoration off, and the journal at 10 000 entries.
#include "journalwindow.h"
#include "mainwindow.h"
#include "operator_awareness.h"
#include "status_records.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

QList<OpAbonent> network(int size)
{
    QList<OpAbonent> list;
    for (int i = 0; i < size; ++i) {
        OpAbonent abonent;
        abonent.address = QHostAddress(quint32(0x7F000000 + 11 + i));
        abonent.port = 40005;
        ContStatus status;
        status.opmode = 0x09;
        status.sync = 1;
        status.rssi = 60;
        abonent.status = records::encodeContStatus(status);
        abonent.updated = 1;
        list.append(abonent);
    }
    return list;
}

// Median cost in microseconds of one report, after the window has seen the whole network once.
double microsecondsPerReport(int size, int reports, bool health = true)
{
    MainWindow window;
    window.findChild<OperatorAwareness*>()->health().setActive(health);
    window.findChild<QSpinBox*>(QStringLiteral("pc_port_spb"))->setValue(0);
    window.show();
    QList<OpAbonent> list = network(size);
    window.UpdateAbonentsList(list);
    QCoreApplication::processEvents();
    for (OpAbonent& abonent : list)
        abonent.updated = 0;

    std::vector<qint64> costs;
    costs.reserve(size_t(reports));
    QElapsedTimer clock;
    for (int r = 0; r < reports; ++r) {
        OpAbonent& reporting = list[r % size];
        ContStatus status = records::decodeContStatus(reporting.status);
        status.received = uint16_t(r);
        status.rssi = uint8_t(50 + r % 30);
        reporting.status = records::encodeContStatus(status);
        reporting.updated = 1;

        clock.start();
        window.UpdateAbonentsList(list);
        QCoreApplication::processEvents();
        costs.push_back(clock.nsecsElapsed());
        reporting.updated = 0;
    }
    std::nth_element(costs.begin(), costs.begin() + costs.size() / 2, costs.end());
    return costs[costs.size() / 2] / 1000.0;
}

double microseconds(const QElapsedTimer& clock, int times)
{
    return clock.nsecsElapsed() / 1000.0 / times;
}

// Appending to a full journal with its window open and following, and filtering all of it.
void journalFigures(QTextStream& out)
{
    Journal journal;
    JournalWindow window(journal);
    window.show();
    for (int i = 0; i < Journal::kDefaultCapacity; ++i)
        journal.append(JournalEntry::Request, QStringLiteral("127.0.0.%1:40005").arg(i % 200),
                       QStringLiteral("CMD_GET_REPORT → REP_CONT_STATUS"));
    QCoreApplication::processEvents();
    constexpr int kAppends = 2000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kAppends; ++i)
        journal.append(JournalEntry::Modem, QStringLiteral("127.0.0.7:40005"), QStringLiteral("Модем появился"));
    out << QStringLiteral("journal at %1 entries, window open: %2 us per append\n")
               .arg(journal.size())
               .arg(microseconds(clock, kAppends), 0, 'f', 2);
    clock.start();
    window.model().flush();
    QCoreApplication::processEvents();
    out << QStringLiteral("journal at %1 entries: %2 ms to show a batch of %3 new entries, repaint included\n")
               .arg(journal.size())
               .arg(microseconds(clock, 1000), 0, 'f', 1)
               .arg(kAppends);
    journal.append(JournalEntry::Modem, QStringLiteral("127.0.0.7:40005"), QStringLiteral("Модем появился"));
    clock.start();
    window.model().flush();
    QCoreApplication::processEvents();
    out << QStringLiteral("journal at %1 entries: %2 ms to show one new entry, repaint included\n")
               .arg(journal.size())
               .arg(microseconds(clock, 1000), 0, 'f', 1);
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("journal_search_le"));
    clock.start();
    search->setText(QStringLiteral("127.0.0.7:"));
    QCoreApplication::processEvents();
    out << QStringLiteral("journal at %1 entries: %2 ms to filter by a search (%3 shown)\n")
               .arg(journal.size())
               .arg(microseconds(clock, 1000), 0, 'f', 1)
               .arg(window.model().rowCount());
    clock.start();
    search->clear();
    QCoreApplication::processEvents();
    out << QStringLiteral("journal at %1 entries: %2 ms to show all again\n")
               .arg(journal.size())
               .arg(microseconds(clock, 1000), 0, 'f', 1);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir logs;
    QDir::setCurrent(logs.path());
    const QStringList arguments = QCoreApplication::arguments();
    const bool awareness = arguments.contains(QStringLiteral("--awareness"));
    const int reports = argc > 1 && arguments.at(1) != QLatin1String("--awareness") ? std::max(1, atoi(argv[1])) : 3000;

    QTextStream out(stdout);
    out << "GUI-side cost of one status report (median of " << reports << " reports)\n";
    double base = 0;
    for (int size : { 10, 100, 1000 }) {
        const double cost = microsecondsPerReport(size, reports);
        if (size == 10)
            base = cost;
        out << QStringLiteral("%1 abonents: %2 us per report (%3 x the 10-abonent figure)\n")
                   .arg(size, 5)
                   .arg(cost, 7, 'f', 1)
                   .arg(cost / base, 0, 'f', 2);
        if (awareness) {
            const double plain = microsecondsPerReport(size, reports, false);
            out << QStringLiteral("%1 abonents, health decoration off: %2 us per report (on/off %3)\n")
                       .arg(size, 5)
                       .arg(plain, 7, 'f', 1)
                       .arg(cost / plain, 0, 'f', 2);
        }
        out.flush();
    }
    if (awareness)
        journalFigures(out);
    return 0;
}
