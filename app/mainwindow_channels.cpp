// Channel list and frequencies of the current modem.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "control_records.h"
#include "presets.h"

#include <QDebug>
#include <cmath>

namespace {

// A reported frequency this close to a channel is that channel.
constexpr uint64_t kChannelToleranceHz = 10;

QString megahertz(uint64_t hz)
{
    return QString::number(std::round(double(hz) / 1e6), 'g', 6);
}

} // namespace

void MainWindow::update_REP_PARAMETERS(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(2);
    showSeqnum(seqnum);
    const ModemParameters plan = records::decodeParameters(rep);
    ui->op_params_freqs_lbl->setText(QStringLiteral("%1-%2/%3")
                                         .arg(plan.lowest / 1000000)
                                         .arg(plan.highest / 1000000)
                                         .arg(plan.step / 1000000));
    initFrequencyList(records::channelsOf(plan));
}

void MainWindow::initFrequencyList(QList<uint64_t> list)
{
    QComboBox* channels = ui->op_control_channel_cmb;
    channels->setEnabled(false);
    frequencies = list.isEmpty() ? presets::builtInChannels() : list;

    disconnect(channels, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &MainWindow::send_CMD_SET_FREQUENCY);
    channels->clear();
    for (uint64_t frequency : qAsConst(frequencies))
        channels->addItem(QString::number(frequency / 1000000));
    channels->setCurrentIndex(-1);
    channels->setEnabled(true);
    defaults.update_frequency_list(list);
    connect(channels, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::send_CMD_SET_FREQUENCY);
}

void MainWindow::update_REP_TX_FREQUENCY(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(3);
    showSeqnum(seqnum);
    const uint64_t frequency = records::decodeFrequency(rep).frequency;
    showChannel(frequency);
    ui->op_control_tx_freq_lbl->setText(QStringLiteral("ПРД: %1").arg(megahertz(frequency)));
}

void MainWindow::update_REP_RX_FREQUENCY(quint16 seqnum, const QByteArray& rep)
{
    advanceStage(4);
    showSeqnum(seqnum);
    const FrequencyRecord record = records::decodeFrequency(rep);
    showChannel(record.frequency);
    ui->op_control_rx_freq_lbl->setText(QStringLiteral("ПРМ: %1").arg(megahertz(record.frequency)));
    defaults.testing_rx_frequency_handler(record);
}

void MainWindow::showChannel(uint64_t frequency)
{
    ui->op_control_channel_cmb->setEnabled(true);
    ui->op_control_channel_gbx->setEnabled(true);
    int index = -1;
    for (int i = 0; i < frequencies.size(); ++i) {
        const uint64_t channel = frequencies.at(i);
        const uint64_t distance = channel > frequency ? channel - frequency : frequency - channel;
        if (distance <= kChannelToleranceHz) {
            index = i;
            break;
        }
    }
    // A modem deliberately off every channel (a Doppler test step) keeps the channel shown;
    // retuning it to the first channel would spoil the test.
    if (index < 0 && ui->op_control_channel_cmb->currentIndex() >= 0)
        return;
    // Still connected: a modem off the shown channel is tuned to it at once.
    ui->op_control_channel_cmb->setCurrentIndex(qMax(index, 0));
}

void MainWindow::send_CMD_SET_FREQUENCY(int index)
{
    if (index < 0 || index >= frequencies.size()) {
        qWarning("Idx out of range");
        return;
    }
    const OP_PAYLOAD_t payload = requests::frequency(frequencies.at(index));
    sendToCurrent(CMD_TX_FREQUENCY, payload);
    sendToCurrent(CMD_RX_FREQUENCY, payload);
}

void MainWindow::send_testing_rx_next_freq(qulonglong freq)
{
    sendToCurrent(CMD_RX_FREQUENCY, requests::frequency(freq));
}
