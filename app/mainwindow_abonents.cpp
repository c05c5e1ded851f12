// The abonent panel: the list of heard modems, choosing the current one, search, forget and
// reboot, and blanking the display when the current modem goes away.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "control_records.h"
#include "ipv4text.h"

#include <QListWidgetItem>

namespace {

// The removal mark follows a forget or reboot burst at least this late.
constexpr int kForgetDelayMs = 100;
constexpr int kFindIntervalMs = 500;
constexpr int kFindRequestLimit = 120;
constexpr int kBurstLength = 5;

QString abonentKey(const OpAbonent& abonent)
{
    return QStringLiteral("%1:%2").arg(abonent.address.toString()).arg(abonent.port);
}

QString abonentLine(const QString& key, const OpAbonent& abonent)
{
    const ContStatus status = records::decodeContStatus(abonent.status);
    const QString mode = statusview::modeRoleText(statusview::modeFromByte(status.opmode));
    const QString sync = status.sync ? QStringLiteral("СИНХ") : QStringLiteral("----");
    const QString info = QStringLiteral("[%1, RSSI %2, %3, ПРМ %4/%5/%6, ПРД %7]")
                             .arg(mode)
                             .arg(-int(status.rssi))
                             .arg(sync)
                             .arg(status.received)
                             .arg(status.errors)
                             .arg(status.lost)
                             .arg(status.sent);
    return QStringLiteral("%1:%2").arg(key, info);
}

} // namespace

void MainWindow::UpdateAbonentsList(QList<OpAbonent> list)
{
    ui->op_abons_lw->setEnabled(false);

    // Only the announced entry changed, unless entries arrived that have no item yet: then
    // every entry is looked at, as a first announcement would.
    int unknownAnnounced = 0;
    for (const OpAbonent& abonent : qAsConst(list)) {
        if (abonent.updated && !abonentItems.contains(abonentKey(abonent)))
            ++unknownAnnounced;
    }
    const bool announcedOnly = list.size() == abonentItems.size() + unknownAnnounced;

    QList<QPair<QString, QString>> newLines;
    for (const OpAbonent& abonent : qAsConst(list)) {
        if (announcedOnly && !abonent.updated)
            continue;
        const QString key = abonentKey(abonent);
        const QString line = abonentLine(key, abonent);
        if (QListWidgetItem* item = abonentItems.value(key))
            item->setText(line);
        else
            newLines.append({ key, line });

        if (findTimer.isActive() && ui->op_control_find_pb->isChecked() && abonent.updated
            && abonent.address == findAddress && abonent.port == findPort) {
            ui->op_control_find_pb->setChecked(false);
            findTimer.stop();
        }
    }
    for (const auto& [key, line] : newLines)
        abonentItems.insert(key, new QListWidgetItem(line, ui->op_abons_lw));

    ui->op_abons_lw->setEnabled(true);
}

void MainWindow::DeleteAbonentsList(QList<OpAbonent> list)
{
    ui->op_abons_lw->setEnabled(false);
    bool currentGone = false;
    for (const OpAbonent& abonent : qAsConst(list)) {
        delete abonentItems.take(abonentKey(abonent));
        if (ipv4text::value(ui->op_current_abon_ip_le->text()) == abonent.address.toIPv4Address()
            && ui->op_current_abon_port_spb->value() == abonent.port)
            currentGone = true;
    }
    ui->op_abons_lw->setEnabled(true);
    if (currentGone)
        ResetWidgets();
}

void MainWindow::SetCurrentAbonent(QListWidgetItem* item)
{
    if (item)
        SetCurrentAbonent(item->text());
}

void MainWindow::SetCurrentAbonent(QString line)
{
    const QStringList parts = line.split(QLatin1Char(':'));
    if (parts.size() < 2)
        return;

    sm_interface_error();
    bool isPort = false;
    const quint16 port = parts.at(1).toUShort(&isPort);
    ui->op_current_abon_ip_le->setText(parts.at(0));
    ui->op_current_abon_port_spb->setValue(isPort ? port : 0);
    client.filter(parts.at(0), isPort ? port : 0);
    extStatusSeen = false;
    StatisticReset();
    RequestAllReports();
}

void MainWindow::find_abonent()
{
    if (!findTimer.isActive()) {
        findAddress = ipv4text::address(ui->op_current_abon_ip_le->text());
        findPort = static_cast<quint16>(ui->op_current_abon_port_spb->value());
        findLimit = kFindRequestLimit;
        findCount = 0;
        findTimer.setInterval(kFindIntervalMs);
        findTimer.start();
    } else if (findCount >= findLimit) {
        ui->op_control_find_pb->setChecked(false);
        findTimer.stop();
        return;
    }
    ++findCount;
    send_CMD_GET_REPORT_CONT_STATUS();
}

void MainWindow::forget_abonent()
{
    abortPolling();
    for (int i = 0; i < kBurstLength; ++i)
        send_CMD_DISCONNECT_DEVICE();
    markCurrentForRemovalLater();
}

void MainWindow::reboot_abonent()
{
    abortPolling();
    for (int i = 0; i < kBurstLength; ++i)
        send_CMD_REBOOT_DEVICE();
    markCurrentForRemovalLater();
}

void MainWindow::markCurrentForRemovalLater()
{
    const QHostAddress address = ipv4text::address(ui->op_current_abon_ip_le->text());
    const auto port = static_cast<quint16>(ui->op_current_abon_port_spb->value());
    QTimer::singleShot(kForgetDelayMs, Qt::PreciseTimer, this,
                       [this, address, port] { client.abonentMarkDelete(address, port); });
}

void MainWindow::send_CMD_DISCONNECT_DEVICE()
{
    sendToCurrent(CMD_REBOOT_DEVICE, requests::serviceCode(protocol::kServiceDisconnect));
}

void MainWindow::send_CMD_REBOOT_DEVICE()
{
    sendToCurrent(CMD_REBOOT_DEVICE, requests::serviceCode(protocol::kServiceReboot));
}

void MainWindow::ResetWidgets()
{
    sm_interface_error();
    ui->op_version_gbx->setTitle(QStringLiteral("vX.X"));
    ui->op_version_gbx->setEnabled(false);
    ui->op_seqnum_sb->setValue(0);
    ui->op_cont_stat_opmode_le->setText(QStringLiteral("--"));
    ui->op_cont_stat_opmode_le->setStyleSheet(statusview::styleSheet(statusview::Indicator::Grey));

    for (QSpinBox* field : { ui->op_cont_stat_temp1_spb, ui->op_cont_stat_temp2_spb,
                             ui->op_cont_stat_rx_bits_spb, ui->op_cont_stat_tx_bits_spb,
                             ui->op_cont_stat_tx_dropped_bits_spb })
        field->setValue(0);
    for (QLabel* indicator : { ui->op_ext_stat_rssi_l, ui->op_id_stat_range_l,
                               ui->op_ext_stat_antenna_l, ui->op_ext_tx_power_mode_l }) {
        indicator->setText(QStringLiteral("  ------  "));
        indicator->setStyleSheet(statusview::styleSheet(statusview::Indicator::Grey));
    }
    for (QSpinBox* field : { ui->op_cont_stat_received_cur_spb, ui->op_cont_stat_errors_cur_spb,
                             ui->op_cont_stat_missed_cur_spb, ui->op_cont_stat_transmitted_cur_spb,
                             ui->op_cont_stat_received_sum_spb, ui->op_cont_stat_errors_sum_spb,
                             ui->op_cont_stat_missed_sum_spb,
                             ui->op_cont_stat_transmitted_sum_spb })
        field->setValue(0);

    ui->op_control_hs_channel_mod_w->setEnabled(false);
    ui->op_control_hs_channel_mod_fm2_pb->setChecked(false);
    ui->op_control_hs_channel_mod_fm4_pb->setChecked(false);
    defaults.setEnabled(false);
    ui->op_control_set_tx_mode_chb->setEnabled(false);
    StatisticReset();
}

void MainWindow::SetNoAbonent()
{
    ui->op_current_abon_ip_le->setText(QStringLiteral("0.0.0.0"));
    ui->op_current_abon_port_spb->setValue(0);
    ResetWidgets();
}
