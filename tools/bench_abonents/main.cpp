// Measures what one status report costs the window: the abonent list refresh that every report
// of every modem causes, plus the repaints, with 10, 100 and 1000 modems in the list.
// Reports arrive as from a live network (each modem once a second) and the window is shown, so
// the figure includes whatever repainting the window does for them.
//
//   build/tools/bench_abonents/bench_abonents [--awareness] [seconds per size [sizes...]]
// --awareness: also each size with the list's health decoration off, and the journal at 10 000 entries.
#include "journalwindow.h"
#include "mainwindow.h"
#include "operator_awareness.h"
#include "status_records.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <vector>

namespace {

qint64 threadCpuNs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Runs the event loop until the wall clock reaches `dueNs`, sleeping in between.
void runUntil(const QElapsedTimer& wall, qint64 dueNs)
{
    const qint64 remaining = dueNs - wall.nsecsElapsed();
    if (remaining <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(int((remaining + 999999) / 1000000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

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

struct Figures {
    int reports = 0;
    double cpuUsPerReport = 0;    // GUI thread CPU, repaints included
    double load = 0;              // share of one core
    double repaintsPerSecond = 0; // of the list
    double medianCallUs = 0;      // UpdateAbonentsList and the events it leaves, alone
};

Figures measure(int size, double seconds, bool health = true)
{
    MainWindow window;
    window.findChild<OperatorAwareness*>()->health().setActive(health);
    window.findChild<QSpinBox*>(QStringLiteral("pc_port_spb"))->setValue(0);
    window.show();
    QList<OpAbonent> list = network(size);
    window.UpdateAbonentsList(list);
    for (OpAbonent& abonent : list)
        abonent.updated = 0;
    QElapsedTimer settle;
    settle.start();
    runUntil(settle, 200000000);

    PaintCounter counter;
    window.findChild<QListWidget*>(QStringLiteral("op_abons_lw"))->viewport()->installEventFilter(&counter);

    // Every modem once a second, evenly spread: report r is due at r / size seconds.
    const qint64 total = std::max<qint64>(1, qint64(seconds * size));
    std::vector<qint64> calls;
    calls.reserve(size_t(total));
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuStart = threadCpuNs();
    for (qint64 r = 0; r < total; ++r) {
        const qint64 due = r * 1000000000LL / size;
        runUntil(wall, due);

        OpAbonent& reporting = list[int(r % size)];
        ContStatus status = records::decodeContStatus(reporting.status);
        status.received = uint16_t(r);
        status.rssi = uint8_t(50 + r % 30);
        reporting.status = records::encodeContStatus(status);
        reporting.updated = 1;

        const qint64 callStart = threadCpuNs();
        window.UpdateAbonentsList(list);
        QCoreApplication::processEvents();
        calls.push_back(threadCpuNs() - callStart);
        reporting.updated = 0;
    }
    // The last gathered changes are painted too.
    runUntil(wall, total * 1000000000LL / size + 100000000LL);
    const qint64 cpu = threadCpuNs() - cpuStart;
    const double elapsed = wall.nsecsElapsed() / 1e9;

    Figures figures;
    figures.reports = int(total);
    figures.cpuUsPerReport = cpu / 1000.0 / total;
    figures.load = cpu / 1e9 / elapsed;
    figures.repaintsPerSecond = counter.paints / elapsed;
    std::nth_element(calls.begin(), calls.begin() + calls.size() / 2, calls.end());
    figures.medianCallUs = calls[calls.size() / 2] / 1000.0;
    return figures;
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
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool awareness = arguments.removeAll(QStringLiteral("--awareness")) > 0;
    const double seconds = !arguments.isEmpty() ? std::max(1.0, arguments.takeFirst().toDouble()) : 5.0;

    QList<int> sizes;
    for (const QString& size : qAsConst(arguments))
        sizes.append(std::max(1, size.toInt()));
    if (sizes.isEmpty())
        sizes = { 10, 100, 1000 };

    QTextStream out(stdout);
    out << "GUI-thread CPU per status report, window shown, each modem reporting once a second for "
        << seconds << " s\n";
    for (int size : qAsConst(sizes)) {
        const Figures f = measure(size, seconds);
        out << QStringLiteral("%1 abonents: %2 us per report (%3 % of a core, %4 list repaints/s; "
                              "median call without repaint %5 us, %6 reports)\n")
                   .arg(size, 5)
                   .arg(f.cpuUsPerReport, 7, 'f', 1)
                   .arg(f.load * 100, 0, 'f', 1)
                   .arg(f.repaintsPerSecond, 0, 'f', 1)
                   .arg(f.medianCallUs, 0, 'f', 1)
                   .arg(f.reports);
        if (awareness) {
            const Figures plain = measure(size, seconds, false);
            out << QStringLiteral("%1 abonents, health decoration off: %2 us per report (on/off %3)\n")
                       .arg(size, 5)
                       .arg(plain.cpuUsPerReport, 7, 'f', 1)
                       .arg(f.cpuUsPerReport / plain.cpuUsPerReport, 0, 'f', 2);
        }
        out.flush();
    }
    if (awareness)
        journalFigures(out);
    return 0;
}
