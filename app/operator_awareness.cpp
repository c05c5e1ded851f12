#include "operator_awareness.h"

#include "alignmentsweep.h"
#include "chat.h"
#include "client.h"
#include "control_records.h"
#include "defaultswindow.h"
#include "mainwindow.h"
#include "opcodenames.h"
#include "ui_mainwindow.h"

OperatorAwareness::OperatorAwareness(MainWindow& window, Ui::MainWindow& ui, Client& client, SteppingMotor& rotator,
                                     chat& chatPanel)
    : QObject(&window)
    , mainWindow(window)
    , ui(ui)
    , link(client)
    , journalView(stationJournal)
    , abonentHealth(*ui.op_abons_lw, [&client] { return client.now(); })
    , rotatorState(rotator, *ui.sm_angle_spb)
{
    setObjectName(QStringLiteral("operatorAwareness"));
    journalView.setAttribute(Qt::WA_QuitOnClose, false);
    link.setJournal(&stationJournal);
    abonentHealth.setJournal(&stationJournal);
    abonentHealth.setLossSource(
        [&client](const OpAbonent& abonent) { return client.reportLoss(abonent.address, abonent.port); });

    connect(&abonentHealth, &AbonentHealth::chosen, &mainWindow,
            QOverload<QListWidgetItem*>::of(&MainWindow::SetCurrentAbonent));
    connect(&abonentHealth, &AbonentHealth::lostCurrentReturned, &returnOffer, &ReturnOffer::offer);
    connect(&returnOffer, &ReturnOffer::accepted, this, &OperatorAwareness::chooseReturned);
    returnOffer.place(qobject_cast<QGridLayout*>(ui.op_abonents_gbx->layout()));
    rotatorState.setJournal(&stationJournal);
    rotatorState.place(qobject_cast<QGridLayout*>(ui.op_control_antenna_gbx->layout()));
    connect(&chatPanel, &chat::call_failed, this,
            [this](const QString& reason) { stationJournal.append(JournalEntry::Call, QString(), reason); });
    connect(&link, &Client::signal_REP_UNSUPPORTED, this, &OperatorAwareness::journalUnsupported);

    for (QWidget* control : std::initializer_list<QWidget*>{ ui.op_control_channel_cmb,
                                                            ui.op_control_tx_power_mode_spb, ui.sm_angle_spb })
        wheelGuard.guard(control);
}

void OperatorAwareness::currentChosen(const QString& key)
{
    returnOffer.withdraw();
    abonentHealth.setCurrent(key);
}

void OperatorAwareness::showPortState()
{
    QSpinBox* port = ui.pc_port_spb;
    if (!link.portShared()) {
        port->setToolTip(QString());
        return;
    }
    port->setStyleSheet(QStringLiteral("background-color: yellow;"));
    port->setToolTip(QStringLiteral("Этот порт принимает ещё одна программа: отчёты модемов могут уходить к ней"));
}

void OperatorAwareness::journalUnsupported(quint16, const QByteArray& rep)
{
    stationJournal.append(JournalEntry::Unsupported, currentModem(),
                          QStringLiteral("REP_UNSUPPORTED: %1").arg(opcodenames::name(reports::unsupportedOpcode(rep))));
}

void OperatorAwareness::chooseReturned(const QString& key)
{
    for (int row = 0; row < ui.op_abons_lw->count(); ++row) {
        QListWidgetItem* item = ui.op_abons_lw->item(row);
        if (item->text().startsWith(key + QLatin1Char(':'))) {
            mainWindow.SetCurrentAbonent(item);
            return;
        }
    }
}

QString OperatorAwareness::currentModem() const
{
    return QStringLiteral("%1:%2").arg(ui.op_current_abon_ip_le->text()).arg(ui.op_current_abon_port_spb->value());
}

void OperatorAwareness::watch(DefaultsWindow& settings, AlignmentSweep& sweep)
{
    settings.setJournal(&stationJournal);
    connect(&sweep, &AlignmentSweep::failed, this, [this](const QString& message) {
        stationJournal.append(JournalEntry::Rotator, currentModem(), QStringLiteral("Юстировка остановлена: %1").arg(message));
    });
    connect(&sweep, &AlignmentSweep::finished, this, [this](double bestAngle) {
        stationJournal.append(JournalEntry::Test, currentModem(), QStringLiteral("Юстировка: лучший угол %1°").arg(bestAngle, 0, 'f', 1));
    });
}
