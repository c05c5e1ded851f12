// Radio controls of the current modem: antenna, transmitter, power and modulation.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "control_records.h"

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
    ui->op_control_tx_power_mode_spb->setValue(percent);
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
    const bool fm4 = reports::hsChannelMod(rep) != 0;
    ui->op_control_hs_channel_mod_fm2_pb->setChecked(!fm4);
    ui->op_control_hs_channel_mod_fm4_pb->setChecked(fm4);
}
