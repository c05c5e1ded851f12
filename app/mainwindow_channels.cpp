// Channel list and frequencies of the current modem.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "control_records.h"

void MainWindow::update_REP_PARAMETERS(quint16 seqnum, const QByteArray&)
{
    advanceStage(2);
    showSeqnum(seqnum);
}

void MainWindow::update_REP_TX_FREQUENCY(quint16 seqnum, const QByteArray&)
{
    advanceStage(3);
    showSeqnum(seqnum);
}

void MainWindow::update_REP_RX_FREQUENCY(quint16 seqnum, const QByteArray&)
{
    advanceStage(4);
    showSeqnum(seqnum);
}

void MainWindow::send_testing_rx_next_freq(qulonglong freq)
{
    sendToCurrent(CMD_RX_FREQUENCY, requests::frequency(freq));
}
