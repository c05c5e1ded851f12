// Measures what the link history costs: per status report with 1000 modems, the abonent list
// refresh alone against the refresh plus keeping every modem's history (interleaved in one
// run), and the frame time of a 60-minute plot taking 10 reports a second.
//
//   build/tools/bench_history/bench_history [reports] [frames]
#include "historychartview.h"
#include "linkhistorywindow.h"
#include "mainwindow.h"
#include "status_records.h"
#include "stepping_motor.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

constexpr int kModems = 1000;
constexpr qint64 kHourMs = 3600 * 1000;

OpAbonent abonent(int i, qint64 ms, quint32 seqnum, int r)
{
    OpAbonent a;
    a.address = QHostAddress(quint32(0x7F000000 + 11 + i));
    a.port = 40005;
    a.last_seen = ms;
    a.seqnum = seqnum;
    ContStatus status;
    status.opmode = 0x09;
    status.sync = 1;
    status.rssi = uint8_t(50 + r % 30);
    status.received = uint16_t(r);
    a.status = records::encodeContStatus(status);
    return a;
}

struct Figures {
    double median;
    double p99;
};

Figures figures(std::vector<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    return {ns[ns.size() / 2] / 1000.0, ns[std::min(ns.size() - 1, ns.size() * 99 / 100)] / 1000.0};
}

void perReport(QTextStream& out, int reports)
{
    MainWindow window;
    window.findChild<QSpinBox*>(QStringLiteral("pc_port_spb"))->setValue(0);
    window.show();
    LinkHistory history;
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - kHourMs;
    QList<OpAbonent> list;
    for (int i = 0; i < kModems; ++i)
        list.append(abonent(i, start, 0, i));
    // An hour of history already kept for every modem, one report a second.
    for (int second = 0; second < 3600; ++second) {
        for (int i = 0; i < kModems; ++i) {
            list[i] = abonent(i, start + second * 1000, quint32(second), second);
            list[i].updated = 1;
            history.updateAbonents(QList<OpAbonent>{list[i]});
            list[i].updated = 0;
        }
    }
    window.UpdateAbonentsList(list);
    QCoreApplication::processEvents();

    std::vector<qint64> without;
    std::vector<qint64> with;
    QElapsedTimer clock;
    for (int r = 0; r < reports; ++r) {
        const int i = r % kModems;
        list[i] = abonent(i, start + kHourMs + r, quint32(3600 + r / kModems), r);
        list[i].updated = 1;
        const bool keep = r % 2;
        clock.start();
        window.UpdateAbonentsList(list);
        if (keep)
            history.updateAbonents(list);
        QCoreApplication::processEvents();
        (keep ? with : without).push_back(clock.nsecsElapsed());
        list[i].updated = 0;
    }
    const Figures a = figures(without);
    const Figures b = figures(with);
    out << QStringLiteral("%1 modems, per status report (median of %2 each, interleaved):\n").arg(kModems).arg(reports / 2)
        << QStringLiteral("  abonent list only        %1 us\n").arg(a.median, 8, 'f', 1)
        << QStringLiteral("  list + history of all    %1 us  (%2 x)\n").arg(b.median, 8, 'f', 1).arg(b.median / a.median, 0, 'f', 2);
    out.flush();
}

void redraw(QTextStream& out, int frames)
{
    SteppingMotor motor;
    LinkHistoryWindow window(motor);
    window.resize(860, 520);
    window.findChild<QComboBox*>(QStringLiteral("history_span_cmb"))->setCurrentIndex(2);
    LinkHistory& history = window.history();
    history.setCurrentModem(LinkHistory::keyOf(QHostAddress(quint32(0x7F00000B)), 40005));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const int hour = 36000;  // 10 reports a second
    for (int k = 0; k < hour; ++k) {
        OpAbonent a = abonent(0, now - kHourMs + k * 100, quint32(k), k % 97);
        a.updated = 1;
        history.updateAbonents(QList<OpAbonent>{a});
    }
    window.open();
    QCoreApplication::processEvents();

    std::vector<qint64> costs;
    QElapsedTimer clock;
    for (int f = 0; f < frames; ++f) {
        OpAbonent a = abonent(0, now + f * 100, quint32(hour + f), f % 97);
        a.updated = 1;
        history.updateAbonents(QList<OpAbonent>{a});
        clock.start();
        window.refresh();
        window.chartView()->viewport()->repaint();
        costs.push_back(clock.nsecsElapsed());
    }
    const Figures c = figures(costs);
    out << QStringLiteral("60-minute plot of %1 samples, one frame (refresh + paint, %2 frames):\n").arg(hour).arg(frames)
        << QStringLiteral("  median %1 ms, 99th percentile %2 ms\n").arg(c.median / 1000.0, 0, 'f', 2).arg(c.p99 / 1000.0, 0, 'f', 2);
    out.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir logs;
    QDir::setCurrent(logs.path());
    const int reports = argc > 1 ? std::max(2, atoi(argv[1])) : 4000;
    const int frames = argc > 2 ? std::max(1, atoi(argv[2])) : 300;
    QTextStream out(stdout);
    perReport(out, reports);
    redraw(out, frames);
    return 0;
}
