// Drives the station through a fault scenario against zarnik-sim and saves what the operator
// sees: the start, a degraded and a lost modem, the returning current modem, and the journal.
//
//   zarnik-screenshots ZARNIK_SIM OUTPUT_FOLDER      (scripts/screenshots.sh runs it under Xvfb)
#include "mainwindow.h"
#include "operator_awareness.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QListWidget>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QUdpSocket>

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QUdpSocket::DontShareAddress);
    return probe.localPort();
}

QListWidgetItem* lineOf(QListWidget* list, const QString& address)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().startsWith(address + QLatin1Char(':')))
            return list->item(row);
    }
    return nullptr;
}

bool saveScreen(const QString& path)
{
    const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    qInfo("%s %s", saved ? "saved" : "could not save", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 3) {
        qWarning("usage: zarnik-screenshots ZARNIK_SIM OUTPUT_FOLDER");
        return 2;
    }
    const QString simulator = QString::fromLocal8Bit(argv[1]);
    const QDir output(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir logs;
    QDir::setCurrent(logs.path());

    MainWindow window;
    const quint16 port = freePort();
    window.findChild<QSpinBox*>(QStringLiteral("pc_port_spb"))->setValue(port);
    window.move(0, 0);
    window.show();

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(simulator, { QStringLiteral("-n"), QStringLiteral("3"), QStringLiteral("--station"),
                           QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--period"),
                           QStringLiteral("300ms") });
    if (!sim.waitForStarted()) {
        qWarning("cannot start the simulator");
        return 1;
    }
    const auto command = [&sim](const char* line) { sim.write(QByteArray(line) + '\n'); };

    auto* list = window.findChild<QListWidget*>(QStringLiteral("op_abons_lw"));
    wait(2500);
    QListWidgetItem* first = lineOf(list, QStringLiteral("127.0.0.11"));
    if (!first || list->count() != 3) {
        qWarning("the simulated modems were not heard");
        return 1;
    }
    window.SetCurrentAbonent(first);
    list->setCurrentItem(lineOf(list, QStringLiteral("127.0.0.13"))); // a selection apart from the current
    wait(2500);
    bool saved = saveScreen(output.filePath(QStringLiteral("1-start.png")));

    command("silence 3");
    command("loss 2 0.5");
    command("silence 1 8s");
    wait(2500);
    if (QListWidgetItem* quiet = lineOf(list, QStringLiteral("127.0.0.13"))) {
        const QRect area = list->visualItemRect(quiet);
        QToolTip::showText(list->viewport()->mapToGlobal(area.center()),
                           window.findChild<OperatorAwareness*>()->health().toolTip(
                               quiet->text().section(QLatin1Char(':'), 0, 1)),
                           list->viewport());
    }
    wait(500);
    saved = saveScreen(output.filePath(QStringLiteral("2-degraded.png"))) && saved;
    QToolTip::hideText();
    wait(3500);
    saved = saveScreen(output.filePath(QStringLiteral("3-lost.png"))) && saved;
    wait(3500);
    saved = saveScreen(output.filePath(QStringLiteral("4-current-returned.png"))) && saved;

    JournalWindow& journal = window.findChild<OperatorAwareness*>()->journalWindow();
    journal.openAction()->trigger();
    journal.move(80, 120);
    journal.resize(900, 520);
    wait(800);
    saved = journal.grab().save(output.filePath(QStringLiteral("5-journal.png"))) && saved;

    command("quit");
    sim.waitForFinished(3000);
    return saved ? 0 : 1;
}
