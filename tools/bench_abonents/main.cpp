// Measures what one status report costs the window: the abonent list refresh that every report
// of every modem causes, plus the repaint, with 10, 100 and 1000 modems in the list.
//
//   build/tools/bench_abonents/bench_abonents [reports per size]
#include "mainwindow.h"
#include "status_records.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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
double microsecondsPerReport(int size, int reports)
{
    MainWindow window;
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

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir logs;
    QDir::setCurrent(logs.path());
    const int reports = argc > 1 ? std::max(1, atoi(argv[1])) : 3000;

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
        out.flush();
    }
    return 0;
}
