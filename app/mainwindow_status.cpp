// Status reports of the current modem: version, continuous and extended status, ID statistics,
// and the records that the settings window, the chat panel and the rotator take over.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <algorithm>

using statusview::Indicator;

namespace {

// A running total never wraps: beyond the field's maximum the field shows the maximum.
void showTotal(QSpinBox* field, quint64 total)
{
    field->setValue(static_cast<int>(std::min<quint64>(total, field->maximum())));
}

void showIndicator(QLabel* label, const QString& text, Indicator colour)
{
    label->setEnabled(true);
    label->setText(text);
    label->setStyleSheet(statusview::styleSheet(colour));
}

} // namespace

void MainWindow::update_REP_VERSION(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(1);
    showSeqnum(seqnum);
    deviceVersion = records::decodeVersion(rep);
    ui->op_version_gbx->setTitle(QStringLiteral("v%1.%2.%3, build %4, hw %5, fn %6")
                                     .arg(deviceVersion.major)
                                     .arg(deviceVersion.minor)
                                     .arg(deviceVersion.revision)
                                     .arg(deviceVersion.build, 8, 16, QLatin1Char('0'))
                                     .arg(deviceVersion.hardware, 2, 16, QLatin1Char('0'))
                                     .arg(deviceVersion.function, 2, 16, QLatin1Char('0')));
}

void MainWindow::update_REP_CONT_STATUS(quint16 seqnum, const QByteArray& rep)
{
    const ContStatus status = records::decodeContStatus(rep);
    const statusview::Mode mode = statusview::modeFromByte(status.opmode);
    // Once the modem sends extended status, that report alone fills the display.
    if (extStatusSeen)
        return;

    showSeqnum(seqnum);
    ui->op_version_gbx->setEnabled(true);
    ui->op_cont_stat_opmode_le->setText(statusview::modeText(mode));
    showModePicture(mode);
    showIndicator(ui->op_ext_stat_rssi_l, statusview::rssiText(status.rssi),
                  status.sync ? Indicator::Green : Indicator::Red);
    ui->op_cont_stat_temp1_spb->setValue(status.temp1);
    ui->op_cont_stat_temp2_spb->setValue(status.temp2);
    ui->op_cont_stat_rx_bits_spb->setValue(status.rx_bits);
    ui->op_cont_stat_tx_bits_spb->setValue(status.tx_bits);
    showCounters(status.received, status.errors, status.lost, status.sent);
}

void MainWindow::update_REP_EXTENDED_STATUS(quint16 seqnum, const QByteArray& rep)
{
    const ExtendedStatus status = records::decodeExtendedStatus(rep);
    const statusview::Mode mode = statusview::modeFromExtended(status);
    extStatusSeen = true;
    showSeqnum(seqnum);
    ui->op_version_gbx->setEnabled(true);

    // The modem's modulation is adopted once; after that the buttons are the operator's.
    if (!ui->op_control_hs_channel_mod_w->isEnabled()) {
        const bool hasHighSpeedChannel = status.mode >= 3 && status.mode <= 9 && status.role == 0;
        ui->op_control_hs_channel_mod_w->setEnabled(hasHighSpeedChannel && status.modulation <= 1);
        ui->op_control_hs_channel_mod_fm2_pb->setChecked(hasHighSpeedChannel
                                                         && status.modulation == 0);
        ui->op_control_hs_channel_mod_fm4_pb->setChecked(hasHighSpeedChannel
                                                         && status.modulation == 1);
    }

    ui->op_cont_stat_opmode_le->setText(statusview::modeText(mode));
    ui->op_cont_stat_opmode_le->setStyleSheet(statusview::styleSheet(
        status.flags & ExtendedStatus::ModeWhite ? Indicator::White : Indicator::Yellow));
    showModePicture(mode);

    showIndicator(ui->op_ext_stat_rssi_l, statusview::rssiText(status.rssi / 4 / 25),
                  status.flags & ExtendedStatus::Synchronised ? Indicator::Green
                                                                     : Indicator::Red);

    ui->op_ext_stat_antenna_l->setEnabled(true);
    if (status.flags & ExtendedStatus::AntennaFault) {
        ui->op_ext_stat_antenna_l->setText(QStringLiteral("Ошибка  "));
        ui->op_ext_stat_antenna_l->setStyleSheet(statusview::styleSheet(Indicator::Red));
    } else {
        showAntenna(status.antenna);
        ui->op_ext_stat_antenna_l->setStyleSheet(statusview::styleSheet(Indicator::Green));
    }

    if (status.flags & ExtendedStatus::TxPowerOff)
        showIndicator(ui->op_ext_tx_power_mode_l, QStringLiteral("   ВЫКЛ   "), Indicator::Yellow);
    else
        showIndicator(ui->op_ext_tx_power_mode_l, QStringLiteral("  %1 %  ").arg(status.tx_power),
                      status.tx_power == 0 ? Indicator::Yellow : Indicator::Green);
    showTxPower(status.tx_power);

    ui->op_cont_stat_temp2_spb->setValue(status.temp2 / 100);
    ui->op_cont_stat_temp1_spb->setValue(status.temp1 / 100);
    ui->op_cont_stat_rx_bits_spb->setValue(status.rx_bits);
    ui->op_cont_stat_tx_bits_spb->setValue(status.tx_bits);
    ui->op_cont_stat_tx_dropped_bits_spb->setValue(status.tx_dropped_bits);
    showCounters(status.received, status.errors, status.lost, status.sent);

    defaults.testing_statistic_handler(status);
}

void MainWindow::update_REP_ID_STATISTIC(quint16 seqnum, const QByteArray& rep)
{
    const IdStatistic statistic = records::decodeIdStatistic(rep);
    showSeqnum(seqnum);
    ui->op_id_stat_range_l->setEnabled(true);

    const int count = statistic.entries.size();
    if (count >= 2) {
        // With two stations in the network this is the other one's range.
        const IdStatisticEntry& other = statistic.entries.at(statistic.own_index == 1 ? 0 : 1);
        showIndicator(ui->op_id_stat_range_l, QStringLiteral("  %1 ").arg(other.range, 6),
                      Indicator::Green);
    }
    for (int i = 0; i < count; ++i) {
        const IdStatisticEntry& entry = statistic.entries.at(i);
        qDebug() << (i == statistic.own_index ? " *" : "  ") << "[" << (entry.identifier & 0x0F)
                 << "]: rssi " << entry.rssi << ", rng " << entry.range << ", rx "
                 << entry.rx_first << "/" << entry.rx_second << " - " << entry.further;
    }
}

void MainWindow::update_REP_DEFAULTS_SET(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(6);
    showSeqnum(seqnum);
    defaults.setEnabled(true);
    const ModemDefaults record = records::decodeDefaults(rep);
    defaults.update_fields(&record);
    chatPanel.set_abonent(record);
    // The stepper controller hangs on the modem's UART converter, reached on UDP port 30000.
    sm_set_device_addr(QHostAddress(record.ip_addr).toString(), 30000);
}

void MainWindow::update_REP_UART_CONV_CONFIG(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(9);
    showSeqnum(seqnum);
    defaults.update_conv(records::decodeConverters(rep));
}

void MainWindow::update_REP_SESSION_SECRET(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(10);
    showSeqnum(seqnum);
    defaults.setEnabled(true);
    const SessionSecret record = records::decodeSessionSecret(rep);
    defaults.update_session_secret(&record);
}

void MainWindow::showModePicture(const statusview::Mode& mode)
{
    const QString path = statusview::modePicturePath(mode);
    if (path != shownModePicture) {
        modePicture.load(path);
        shownModePicture = path;
    }
    modePicture.setToolTip(QString());
}

void MainWindow::showCounters(uint16_t received, uint16_t errors, uint16_t lost, uint16_t sent)
{
    statSums.received += received;
    statSums.errors += errors;
    statSums.lost += lost;
    statSums.sent += sent;
    ui->op_cont_stat_received_cur_spb->setValue(received);
    ui->op_cont_stat_errors_cur_spb->setValue(errors);
    ui->op_cont_stat_missed_cur_spb->setValue(lost);
    ui->op_cont_stat_transmitted_cur_spb->setValue(sent);
    showRunningTotals();
}

void MainWindow::showRunningTotals()
{
    showTotal(ui->op_cont_stat_received_sum_spb, statSums.received);
    showTotal(ui->op_cont_stat_errors_sum_spb, statSums.errors);
    showTotal(ui->op_cont_stat_missed_sum_spb, statSums.lost);
    showTotal(ui->op_cont_stat_transmitted_sum_spb, statSums.sent);
}

void MainWindow::StatisticReset()
{
    statSums = StatSums();
    showRunningTotals();
}
