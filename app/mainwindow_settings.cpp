// Requests built by the settings window: its records, and the service codes of its buttons.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "control_records.h"
#include "ipv4text.h"
#include "presets.h"

namespace {

// Set-up service codes: a frequency range number, or a hardware number times 0x100.
constexpr uint32_t kSetupCode = 0xFF000000;

} // namespace

void MainWindow::send_CMD_DEFAULTS_SET(const ModemDefaults& frm)
{
    sendToCurrent(CMD_DEFAULTS_SET,
                  requests::record(records::encodeDefaults(frm), records::kDefaultsSize));
}

void MainWindow::send_CMD_UART_CONV_CONFIG(const ConverterConfig& frm)
{
    sendToCurrent(CMD_UART_CONV_CONFIG, requests::record(records::encodeConverters(frm),
                                                         records::kConverterConfigSize));
}

void MainWindow::send_CMD_SESSION_SECRET(const SessionSecret& frm)
{
    sendToCurrent(CMD_SESSION_SECRET, requests::record(records::encodeSessionSecret(frm),
                                                       records::kSecretRecordSize));
}

void MainWindow::send_selected_defaults(int idx)
{
    switch (idx) {
    case 1:
        send_CMD_DEFAULTS_SET();
        break;
    case 2:
        send_CMD_UART_CONV_CONFIG();
        break;
    case 3:
        send_CMD_SESSION_SECRET();
        break;
    default:
        break;
    }
}

void MainWindow::send_CMD_DEFAULTS_SET()
{
    OP_PAYLOAD_t payload;
    defaults.read_fields(payload);
    sendToCurrent(CMD_DEFAULTS_SET, payload);
}

void MainWindow::send_CMD_UART_CONV_CONFIG()
{
    OP_PAYLOAD_t payload;
    defaults.read_conv(payload);
    sendToCurrent(CMD_UART_CONV_CONFIG, payload);
}

void MainWindow::send_CMD_SESSION_SECRET()
{
    OP_PAYLOAD_t payload;
    defaults.read_session_secret(payload);
    sendToCurrent(CMD_SESSION_SECRET, payload);
}

void MainWindow::send_default_CMD_SESSION_SECRET()
{
    send_CMD_SESSION_SECRET(presets::defaultSessionSecret());
}

void MainWindow::send_CMD_RESET_DEVICE()
{
    // The code names the one modem meant, also when every modem hears the broadcast.
    const QString text = ui->op_current_abon_ip_le->text();
    const std::optional<uint32_t> address = ipv4text::value(text);
    if (!address) {
        qDebug() << QStringLiteral("[OUT] -> Not an address '%1'").arg(text);
        return;
    }
    const OP_PAYLOAD_t payload = requests::ipv4ServiceCode(*address);
    const auto port = static_cast<quint16>(ui->op_current_abon_port_spb->value());
    const QHostAddress destination = defaults.broadcastHardReset() ? QHostAddress(QHostAddress::Broadcast)
                                                                   : QHostAddress(*address);
    client.send(CMD_REBOOT_DEVICE, payload, destination, port);
}

void MainWindow::send_CMD_SETUP_FN_1()
{
    sendToCurrent(CMD_REBOOT_DEVICE, requests::serviceCode(kSetupCode + 1));
}

void MainWindow::send_CMD_SETUP_FN_2()
{
    sendToCurrent(CMD_REBOOT_DEVICE, requests::serviceCode(kSetupCode + 2));
}

void MainWindow::send_CMD_SETUP_FN_3()
{
    sendToCurrent(CMD_REBOOT_DEVICE, requests::serviceCode(kSetupCode + 3));
}

void MainWindow::send_CMD_SETUP_HW_2()
{
    sendToCurrent(CMD_REBOOT_DEVICE, requests::serviceCode(kSetupCode + 2 * 0x100));
}

void MainWindow::send_CMD_SETUP_HW_3()
{
    sendToCurrent(CMD_REBOOT_DEVICE, requests::serviceCode(kSetupCode + 3 * 0x100));
}
