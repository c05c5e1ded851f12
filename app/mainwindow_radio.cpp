// Radio controls of the current modem: antenna, transmitter, power, modulation and relay mode,
// and the modulation switch test.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "control_records.h"

#include <QDebug>

namespace {

// The switch test talks to the address that the ground presets give a modem, not to the
// current abonent.
const QString kSwitchTestAddress = QStringLiteral("192.168.11.12");
constexpr quint16 kSwitchTestPort = 40005;
constexpr int kSwitchTestIntervalMs = 10000;

} // namespace

void MainWindow::wireRadioControls()
{
    connect(&antennaButtons, &QButtonGroup::idClicked, this,
            QOverload<int>::of(&MainWindow::send_CMD_ANTENNA_SEL));
    connect(ui->op_control_set_tx_mode_chb, &QCheckBox::clicked, this,
            &MainWindow::send_CMD_SET_TX_MODE);
    connectModulationButtons();
    connect(ui->op_control_hs_channel_mod_switch_test_pb, &QPushButton::clicked, this,
            &MainWindow::_slot_hs_channel_switch_test);
    connect(ui->op_control_tx_power_mode_spb, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::send_CMD_TX_POWER_MODE);
    connect(ui->op_control_retranslation_mode_pb, &QPushButton::clicked, this,
            &MainWindow::send_CMD_SWITCH_RETR_MODE_ID);
    connect(ui->op_control_receive_mode_pb, &QPushButton::clicked, this,
            &MainWindow::send_CMD_SWITCH_RETR_RECV_MODE_ID);
}

void MainWindow::connectModulationButtons()
{
    connect(ui->op_control_hs_channel_mod_fm2_pb, &QPushButton::clicked, this,
            &MainWindow::send_CMD_SET_HS_CHANNEL_MOD);
    connect(ui->op_control_hs_channel_mod_fm4_pb, &QPushButton::clicked, this,
            &MainWindow::send_CMD_SET_HS_CHANNEL_MOD);
}

void MainWindow::disconnectModulationButtons()
{
    disconnect(ui->op_control_hs_channel_mod_fm2_pb, &QPushButton::clicked, this,
               &MainWindow::send_CMD_SET_HS_CHANNEL_MOD);
    disconnect(ui->op_control_hs_channel_mod_fm4_pb, &QPushButton::clicked, this,
               &MainWindow::send_CMD_SET_HS_CHANNEL_MOD);
}

void MainWindow::send_CMD_ANTENNA_SEL(int butt_id)
{
    sendToCurrent(CMD_ANTENNA_SEL, requests::singleByte(uint8_t(butt_id)));
}

void MainWindow::send_CMD_ANTENNA_SEL(AntennaSelection frm)
{
    sendToCurrent(CMD_ANTENNA_SEL, requests::singleByte(frm.antenna));
}

void MainWindow::send_CMD_SET_TX_MODE()
{
    sendToCurrent(CMD_SET_TX_MODE,
                  requests::singleByte(ui->op_control_set_tx_mode_chb->isChecked() ? 1 : 0));
}

void MainWindow::send_CMD_TX_POWER_MODE()
{
    sendToCurrent(CMD_TX_POWER_MODE,
                  requests::singleByte(uint8_t(ui->op_control_tx_power_mode_spb->value())));
}

void MainWindow::send_CMD_SET_HS_CHANNEL_MOD()
{
    auto* clicked = qobject_cast<QPushButton*>(sender());
    if (!clicked)
        return;
    // The pair cannot be emptied: a click on the checked button leaves it checked.
    if (!clicked->isChecked()) {
        clicked->setChecked(true);
        return;
    }
    uint16_t modulation = 0;
    if (clicked == ui->op_control_hs_channel_mod_fm2_pb) {
        ui->op_control_hs_channel_mod_fm4_pb->setChecked(false);
        qDebug("Send FM2 mod");
    } else {
        modulation = 1;
        ui->op_control_hs_channel_mod_fm2_pb->setChecked(false);
        qDebug("Send FM4 mod");
    }
    sendToCurrent(CMD_SET_HS_CHANNEL_MOD, requests::hsChannelMod(modulation));
}

void MainWindow::send_CMD_SWITCH_RETR_MODE_ID()
{
    sendRelayIdentifier(CMD_SWITCH_RETR_MODE_ID);
}

void MainWindow::send_CMD_SWITCH_RETR_RECV_MODE_ID()
{
    sendRelayIdentifier(CMD_SWITCH_RETR_RECV_MODE_ID);
}

void MainWindow::sendRelayIdentifier(OPCODE opcode)
{
    bool isNumber = false;
    const int identifier = ui->op_control_retranslation_id_le->text().toInt(&isNumber, 10);
    if (isNumber)
        sendToCurrent(opcode, requests::singleByte(uint8_t(identifier & 0xFF)));
}

void MainWindow::_slot_hs_channel_switch_test(bool start)
{
    if (start) {
        connect(&fmTestTimer, &QTimer::timeout, this, &MainWindow::_slot_timeout_fm_switch_test,
                Qt::UniqueConnection);
        fmTestTimer.setInterval(kSwitchTestIntervalMs);
        fmTestTimer.start();
        return;
    }
    disconnect(&fmTestTimer, &QTimer::timeout, this, &MainWindow::_slot_timeout_fm_switch_test);
    fmTestTimer.stop();
    ui->op_control_hs_channel_mod_switch_test_pb->setText(
        QStringLiteral("Тест переключения ФМ: остановлен"));
}

void MainWindow::_slot_timeout_fm_switch_test()
{
    fmTestState ^= 1;
    client.send(CMD_SET_HS_CHANNEL_MOD, requests::hsChannelMod(fmTestState), kSwitchTestAddress,
                kSwitchTestPort);
    ui->op_control_hs_channel_mod_switch_test_pb->setText(
        QStringLiteral("Тест переключения ФМ: %1")
            .arg(fmTestState ? QStringLiteral("ФМ4") : QStringLiteral("ФМ2")));
}

void MainWindow::showAntenna(uint8_t antenna)
{
    QString text;
    switch (antenna) {
    case 0:
        text = QStringLiteral(" Сектор. ");
        break;
    case 1:
        text = QStringLiteral(" Всенапр.");
        break;
    default:
        text = QString(9, QLatin1Char(' '));
        break;
    }
    ui->op_ext_stat_antenna_l->setText(text);
    // An exclusive group cannot uncheck its checked button, so the rule is lifted meanwhile.
    antennaButtons.setExclusive(false);
    ui->op_control_antenna_sel_sec_pb->setChecked(antenna == 0);
    ui->op_control_antenna_sel_omni_pb->setChecked(antenna == 1);
    antennaButtons.setExclusive(true);
}

void MainWindow::showTxPower(int percent)
{
    // Following the modem must not send its value back to it.
    QSpinBox* power = ui->op_control_tx_power_mode_spb;
    disconnect(power, QOverload<int>::of(&QSpinBox::valueChanged), this,
               &MainWindow::send_CMD_TX_POWER_MODE);
    power->setValue(percent);
    connect(power, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::send_CMD_TX_POWER_MODE);
}

void MainWindow::update_REP_ANTENNA_SEL(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(5);
    showSeqnum(seqnum);
    ui->op_control_antenna_gbx->setEnabled(true);
    ui->op_ext_stat_antenna_l->setEnabled(true);
    ui->op_control_antenna_sel_sec_pb->setEnabled(true);
    ui->op_control_antenna_sel_omni_pb->setEnabled(true);
    showAntenna(reports::singleByte(rep));
}

void MainWindow::update_REP_SET_TX_MODE(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(8);
    showSeqnum(seqnum);
    ui->op_control_set_tx_mode_chb->setEnabled(true);
    ui->op_control_set_tx_mode_chb->setChecked(reports::singleByte(rep) != 0);
}

void MainWindow::update_REP_TX_POWER_MODE(quint16 seqnum, const QByteArray& rep)
{
    showSeqnum(seqnum);
    showTxPower(reports::singleByte(rep));
}

void MainWindow::update_REP_SET_HS_CHANNEL_MOD(quint16 seqnum, const QByteArray& rep)
{
    showSeqnum(seqnum);
    disconnectModulationButtons();
    const bool fm4 = reports::hsChannelMod(rep) != 0;
    ui->op_control_hs_channel_mod_fm2_pb->setChecked(!fm4);
    ui->op_control_hs_channel_mod_fm4_pb->setChecked(fm4);
    connectModulationButtons();
}
