// The main window's report slots with any payload and sequence number, one window for the whole
// run so that reports meet the state earlier ones left; the settings window takes its records
// through them. Every 256 inputs the event loop runs so that queued work and timers happen too.

#include "fuzzentries.h"

#include "mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <array>

namespace {

using ReportSlot = void (MainWindow::*)(quint16, const QByteArray&);

constexpr std::array<ReportSlot, 16> kReportSlots{
    &MainWindow::update_REP_UNSUPPORTED,       &MainWindow::update_REP_TX_FREQUENCY,
    &MainWindow::update_REP_RX_FREQUENCY,      &MainWindow::update_REP_ANTENNA_SEL,
    &MainWindow::update_REP_DEFAULTS_SET,      &MainWindow::update_REP_REBOOT_DEVICE,
    &MainWindow::update_REP_SET_TX_MODE,       &MainWindow::update_REP_VERSION,
    &MainWindow::update_REP_CONT_STATUS,       &MainWindow::update_REP_PARAMETERS,
    &MainWindow::update_REP_EXTENDED_STATUS,   &MainWindow::update_REP_ID_STATISTIC,
    &MainWindow::update_REP_UART_CONV_CONFIG,  &MainWindow::update_REP_SESSION_SECRET,
    &MainWindow::update_REP_TX_POWER_MODE,     &MainWindow::update_REP_SET_HS_CHANNEL_MOD,
};

MainWindow& window()
{
    static QTemporaryDir logs; // the window's packet log goes here, not into the working folder
    static MainWindow* shown = [] {
        QDir::setCurrent(logs.path());
        auto* w = new MainWindow; // lives as long as the process
        // A port of its own, so a run beside a real station or another test takes nothing from them.
        QUdpSocket probe;
        probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
        w->findChild<QSpinBox*>(QStringLiteral("pc_port_spb"))->setValue(probe.localPort());
        w->show();
        return w;
    }();
    return *shown;
}

} // namespace

bool fuzzentry::windows(const uint8_t* data, size_t size)
{
    static unsigned inputs = 0;
    MainWindow& w = window();
    if (size < 3)
        return true;
    const quint16 seqnum = quint16(data[1] | data[2] << 8);
    const QByteArray payload(reinterpret_cast<const char*>(data + 3), int(size - 3));
    const unsigned pick = data[0] % (kReportSlots.size() + 1);
    if (pick < kReportSlots.size()) {
        (w.*kReportSlots[pick])(seqnum, payload);
    } else {
        // The band plan's channel list: up to 64 frequencies of 8 bytes each.
        QList<uint64_t> channels;
        for (int at = 0; at + 8 <= payload.size() && channels.size() < 64; at += 8) {
            uint64_t hz = 0;
            for (int i = 7; i >= 0; --i)
                hz = hz << 8 | uchar(payload[at + i]);
            channels.append(hz);
        }
        w.initFrequencyList(channels);
    }
    if (++inputs % 256 == 0)
        QCoreApplication::processEvents();
    return true;
}
