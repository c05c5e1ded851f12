#include "defaultswindow.h"

#include "defaultsfile.h"
#include "ipv4text.h"
#include "ui_defaultswindow.h"

#include <QDebug>
#include <QRegularExpressionValidator>
#include <cstring>

namespace {

// Copies a record image to the start of a request payload.
void writeRecord(OP_PAYLOAD_t& payload, const QByteArray& image)
{
    memcpy(payload.bytes, image.constData(),
           static_cast<size_t>(qMin(image.size(), static_cast<int>(sizeof payload.bytes))));
}

// The debug stream's layout of these lines: every item followed by one blank.
void debugLine(const QStringList& items)
{
    QString line;
    for (const QString& item : items)
        line += item + QLatin1Char(' ');
    qDebug().noquote().nospace() << line;
}

QString boolText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

bool codeIsValid(uint8_t opmode) { return (opmode & 0x1F) < 28; }

} // namespace

DefaultsWindow::DefaultsWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::DefaultsWindow>())
{
    ui->setupUi(this);
    ui->op_session_secret_le->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[A-Za-z0-9+/]*={0,2}$")), this));

    const auto indexChanged = qOverload<int>(&QComboBox::currentIndexChanged);
    connect(ui->op_defaults_set_pb, &QPushButton::clicked, this, &DefaultsWindow::send_selected_settings);
    connect(ui->op_defaults_mode_cmb, indexChanged, this, &DefaultsWindow::update_roles_cmb);
    connect(ui->op_defaults_mode_cmb, indexChanged, this, &DefaultsWindow::update_opmode_label);
    connect(ui->op_defaults_ls_chan_cmb, indexChanged, this, &DefaultsWindow::update_opmode_label);
    connect(ui->op_defaults_hs_chan_cmb, indexChanged, this, &DefaultsWindow::update_opmode_label);
    connect(ui->op_defaults_unit_cmb, indexChanged, this, &DefaultsWindow::update_opmode_label);

    if (parent) {
        // The main window's library depends on this one, so its slots are reached by signature.
        connect(ui->op_control_reboot_pb, SIGNAL(clicked()), parent, SLOT(reboot_abonent()));
        connect(ui->op_hard_reset_pbt, SIGNAL(clicked()), parent, SLOT(send_CMD_RESET_DEVICE()));
        connect(ui->op_setup_fn1_pbt, SIGNAL(clicked()), parent, SLOT(send_CMD_SETUP_FN_1()));
        connect(ui->op_setup_fn2_pbt, SIGNAL(clicked()), parent, SLOT(send_CMD_SETUP_FN_2()));
        connect(ui->op_setup_fn3_pbt, SIGNAL(clicked()), parent, SLOT(send_CMD_SETUP_FN_3()));
        connect(ui->op_setup_hw_2_pbt, SIGNAL(clicked()), parent, SLOT(send_CMD_SETUP_HW_2()));
        connect(ui->op_setup_hw_3_pbt, SIGNAL(clicked()), parent, SLOT(send_CMD_SETUP_HW_3()));
        connect(ui->op_session_secret_pbt, SIGNAL(clicked()), parent, SLOT(send_CMD_SESSION_SECRET()));
        connect(ui->op_session_secret_reset_pbt, SIGNAL(clicked()), parent,
                SLOT(send_default_CMD_SESSION_SECRET()));
    }

    connect(ui->testing_enable_pbt, &QPushButton::clicked, this, &DefaultsWindow::testing_statistic_enable);
    new DefaultsFile(*this, ui->op_defaults_save_file_pb, ui->op_defaults_load_file_pb, ui->op_defaults_file_lbl,
                     ui->op_session_secret_save_chb);

    connect(ui->op_preset_p2p_ls_abonent_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_ls_abonent);
    connect(ui->op_preset_p2p_ls_ground_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_ls_ground);
    connect(ui->op_preset_p2p_hs_bpsk_abonent_pbt, &QPushButton::clicked, this,
            &DefaultsWindow::preset_p2p_hs_bpsk_abonent);
    connect(ui->op_preset_p2p_hs_bpsk_ground_pbt, &QPushButton::clicked, this,
            &DefaultsWindow::preset_p2p_hs_bpsk_ground);
    connect(ui->op_preset_p2p_hs_qpsk_abonent_pbt, &QPushButton::clicked, this,
            &DefaultsWindow::preset_p2p_hs_qpsk_abonent);
    connect(ui->op_preset_p2p_hs_qpsk_ground_pbt, &QPushButton::clicked, this,
            &DefaultsWindow::preset_p2p_hs_qpsk_ground);
    connect(ui->op_preset_p2p_a_abonent_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_a_abonent);
    connect(ui->op_preset_p2p_a_ground_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_a_ground);
    connect(ui->op_preset_p2p_c_abonent_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_c_abonent);
    connect(ui->op_preset_p2p_c_ground_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_c_ground);
    connect(ui->op_preset_p2p_d_abonent_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_d_abonent);
    connect(ui->op_preset_p2p_d_ground_pbt, &QPushButton::clicked, this, &DefaultsWindow::preset_p2p_d_ground);
}

DefaultsWindow::~DefaultsWindow()
{
    testing_att.close();
}

bool DefaultsWindow::broadcastHardReset() const
{
    return ui->op_hard_reset_bc_chb->isChecked();
}

std::array<DefaultsWindow::SocketRow, 5> DefaultsWindow::socketRows() const
{
    return {{
        {ui->op_defaults_socket0_self_port_spb, ui->op_defaults_socket0_dest_addr_le,
         ui->op_defaults_socket0_dest_port_spb},
        {ui->op_defaults_socket1_self_port_spb, ui->op_defaults_socket1_dest_addr_le,
         ui->op_defaults_socket1_dest_port_spb},
        {ui->op_defaults_socket2_self_port_spb, ui->op_defaults_socket2_dest_addr_le,
         ui->op_defaults_socket2_dest_port_spb},
        {ui->op_defaults_socket3_self_port_spb, ui->op_defaults_socket3_dest_addr_le,
         ui->op_defaults_socket3_dest_port_spb},
        {ui->op_defaults_socket4_self_port_spb, ui->op_defaults_socket4_dest_addr_le,
         ui->op_defaults_socket4_dest_port_spb},
    }};
}

std::array<DefaultsWindow::SocketRow, 5> DefaultsWindow::remoteSocketRows() const
{
    return {{
        {ui->op_defaults_remote_socket0_self_port_spb, ui->op_defaults_remote_socket0_dest_ip_le,
         ui->op_defaults_remote_socket0_dest_port_spb},
        {ui->op_defaults_remote_socket1_self_port_spb, ui->op_defaults_remote_socket1_dest_ip_le,
         ui->op_defaults_remote_socket1_dest_port_spb},
        {ui->op_defaults_remote_socket2_self_port_spb, ui->op_defaults_remote_socket2_dest_addr_le,
         ui->op_defaults_remote_socket2_dest_port_spb},
        {ui->op_defaults_remote_socket3_self_port_spb, ui->op_defaults_remote_socket3_dest_addr_le,
         ui->op_defaults_remote_socket3_dest_port_spb},
        {ui->op_defaults_remote_socket4_self_port_spb, ui->op_defaults_remote_socket4_dest_addr_le,
         ui->op_defaults_remote_socket4_dest_port_spb},
    }};
}

std::array<DefaultsWindow::ConverterRow, 4> DefaultsWindow::converterRows() const
{
    return {{
        {ui->op_conv0_gbx, ui->op_conv0_serial_baudrate_cmb, ui->op_conv0_socket_self_port_spb,
         ui->op_conv0_socket_dest_ip_le, ui->op_conv0_socket_dest_port_spb},
        {ui->op_conv1_gbx, ui->op_conv1_serial_baudrate_cmb, ui->op_conv1_socket_self_port_spb,
         ui->op_conv1_socket_dest_ip_le, ui->op_conv1_socket_dest_port_spb},
        {ui->op_conv2_gbx, ui->op_conv2_serial_baudrate_cmb, ui->op_conv2_socket_self_port_spb,
         ui->op_conv2_socket_dest_ip_le, ui->op_conv2_socket_dest_port_spb},
        {ui->op_conv3_gbx, ui->op_conv3_serial_baudrate_cmb, ui->op_conv3_socket_self_port_spb,
         ui->op_conv3_socket_dest_ip_le, ui->op_conv3_socket_dest_port_spb},
    }};
}

void DefaultsWindow::update_fields(const ModemDefaults* frm)
{
    if (!frm)
        return;

    const OpMode op = records::decodeOpmode(frm->opmode);
    if (op.valid) {
        ui->op_defaults_mode_cmb->setCurrentIndex(op.mode);
        // A mode already shown fires no change, and the role list may never have been filled.
        if (ui->op_defaults_unit_cmb->count() == 0)
            update_roles_cmb(op.mode);
        ui->op_defaults_unit_cmb->setCurrentIndex(op.unit);
        ui->op_defaults_ls_chan_cmb->setCurrentIndex(op.ls);
        ui->op_defaults_hs_chan_cmb->setCurrentIndex(op.hs);
        update_opmode_label();
    } else {
        ui->op_defaults_mode_cmb->setCurrentIndex(-1);
        ui->op_defaults_unit_cmb->setCurrentIndex(-1);
        ui->op_defaults_ls_chan_cmb->setCurrentIndex(-1);
        ui->op_defaults_hs_chan_cmb->setCurrentIndex(-1);
    }

    showChannel(frm->rx_frequency, frm->tx_frequency);

    ui->op_defaults_ipaddr_le->setText(ipv4text::format(frm->ip_addr));
    ui->op_defaults_gateway_le->setText(ipv4text::format(frm->gateway));
    ui->op_defaults_prefix_spb->setValue(frm->prefix);
    ui->op_defaults_local_status_chb->setChecked(frm->local_status);

    const auto show = [](const std::array<SocketRow, 5>& rows, const SocketEntry* entries) {
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i].self_port->setValue(entries[i].self_port);
            rows[i].dest_addr->setText(ipv4text::format(entries[i].dest_addr));
            rows[i].dest_port->setValue(entries[i].dest_port);
        }
    };
    show(socketRows(), frm->sockets);
    show(remoteSocketRows(), frm->remote_sockets);

    QComboBox* tap = ui->op_defaults_tap_mode_cmb;
    tap->setCurrentIndex(frm->tap_mode < tap->count() ? frm->tap_mode : -1);
    QComboBox* antenna = ui->op_defaults_antenna_sel_cmb;
    antenna->setCurrentIndex(frm->antenna_sel < antenna->count() ? frm->antenna_sel : -1);
    ui->op_defaults_tx_mute_chb->setChecked(frm->tx_mute);
    ui->op_defaults_tx_power_mode_spb->setValue(frm->tx_power_mode);

    // Pipelines are long: show where they begin.
    ui->op_defaults_rtsp_url_fm2_le->setText(QString::fromUtf8(frm->gst_string_fm2));
    ui->op_defaults_rtsp_url_fm2_le->setCursorPosition(0);
    ui->op_defaults_rtsp_url_fm4_le->setText(QString::fromUtf8(frm->gst_string_fm4));
    ui->op_defaults_rtsp_url_fm4_le->setCursorPosition(0);
}

void DefaultsWindow::showChannel(uint64_t rx_frequency, uint64_t tx_frequency)
{
    reported_frequencies = ChannelFrequencies{rx_frequency, tx_frequency};
    if (rx_frequency != tx_frequency)
        return;
    const int channel = frequency_list.indexOf(rx_frequency);
    if (channel < 0) {
        qDebug() << "Recv frequency not in channel list";
        ui->op_defaults_channel_cmb->setCurrentIndex(0);
    } else {
        ui->op_defaults_channel_cmb->setCurrentIndex(channel);
    }
}

void DefaultsWindow::update_frequency_list(QList<uint64_t> list)
{
    QComboBox* channels = ui->op_defaults_channel_cmb;
    channels->setEnabled(false);
    frequency_list = list.isEmpty() ? presets::builtInChannels() : list;
    channels->clear();
    for (uint64_t frequency : qAsConst(frequency_list))
        channels->addItem(QString::number(frequency / 1000000));
    channels->setCurrentIndex(-1);
    channels->setEnabled(true);
}

DefaultsWindow::ChannelFrequencies DefaultsWindow::selectedFrequencies() const
{
    const int channel = ui->op_defaults_channel_cmb->currentIndex();
    if (channel >= 0 && channel < frequency_list.size())
        return {frequency_list.at(channel), frequency_list.at(channel)};
    // No channel chosen: keep what the modem reported rather than retune it.
    if (reported_frequencies)
        return *reported_frequencies;
    return {presetFrequency(), presetFrequency()};
}

void DefaultsWindow::read_fields(OP_PAYLOAD_t& frm)
{
    const int mode = ui->op_defaults_mode_cmb->currentIndex();
    const int unit = ui->op_defaults_unit_cmb->currentIndex();
    const int ls = ui->op_defaults_ls_chan_cmb->currentIndex();
    const int hs = ui->op_defaults_hs_chan_cmb->currentIndex();

    ModemDefaults d;
    d.opmode = records::encodeOpmode(mode, unit, ls, hs);
    const ChannelFrequencies frequencies = selectedFrequencies();
    d.rx_frequency = frequencies.rx;
    d.tx_frequency = frequencies.tx;
    d.ip_addr = ipv4text::parse(ui->op_defaults_ipaddr_le->text());
    d.prefix = static_cast<uint8_t>(ui->op_defaults_prefix_spb->value() & 127);
    d.local_status = ui->op_defaults_local_status_chb->isChecked();
    d.gateway = ipv4text::parse(ui->op_defaults_gateway_le->text());
    d.control_port = protocol::kDefaultControlPort;

    const QString valid = boolText(codeIsValid(d.opmode));
    debugLine({QStringLiteral("pre opmode "), QString::number(d.opmode), QStringLiteral(", valid "), valid,
               QStringLiteral(", mode "), QString::number(mode), QStringLiteral(", unit "), QString::number(unit),
               QStringLiteral(", ls "), QString::number(ls), QStringLiteral(", hs "), QString::number(hs)});
    const OpMode decoded = records::decodeOpmode(d.opmode);
    const uint8_t again = records::encodeOpmode(decoded.mode, decoded.unit, decoded.ls, decoded.hs);
    debugLine({QStringLiteral("opmode "), QString::number(d.opmode), QStringLiteral(", valid "), valid,
               QStringLiteral(", mode "), QString::number(decoded.mode), QStringLiteral(", unit "),
               QString::number(decoded.unit), QStringLiteral(", abons "), QString::number(decoded.roles),
               QStringLiteral(", new_opmode "), QString::number(again)});

    const auto read = [](const std::array<SocketRow, 5>& rows, SocketEntry* entries) {
        for (size_t i = 0; i < rows.size(); ++i) {
            entries[i].self_port = static_cast<uint16_t>(rows[i].self_port->value());
            entries[i].dest_addr = ipv4text::parse(rows[i].dest_addr->text());
            entries[i].dest_port = static_cast<uint16_t>(rows[i].dest_port->value());
        }
    };
    read(socketRows(), d.sockets);
    read(remoteSocketRows(), d.remote_sockets);

    d.tap_mode = static_cast<uint8_t>(ui->op_defaults_tap_mode_cmb->currentIndex() & 3);
    d.antenna_sel = static_cast<uint8_t>(ui->op_defaults_antenna_sel_cmb->currentIndex() & 1);
    d.tx_mute = ui->op_defaults_tx_mute_chb->isChecked();
    d.tx_power_mode = static_cast<uint8_t>(ui->op_defaults_tx_power_mode_spb->value() & 255);
    d.gst_string_fm2 = ui->op_defaults_rtsp_url_fm2_le->text().toUtf8().left(records::kGstStringSize);
    d.gst_string_fm4 = ui->op_defaults_rtsp_url_fm4_le->text().toUtf8().left(records::kGstStringSize);

    writeRecord(frm, records::encodeDefaults(d));
}

void DefaultsWindow::update_session_secret(const SessionSecret* frm)
{
    if (!frm)
        return;
    ui->op_session_secret_le->setText(
        QString::fromLatin1(frm->secret.toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals)));
}

void DefaultsWindow::read_session_secret(OP_PAYLOAD_t& frm)
{
    SessionSecret s;
    s.secret = QByteArray::fromBase64(ui->op_session_secret_le->text().toUtf8());
    s.save = ui->op_session_secret_save_chb->isChecked();
    writeRecord(frm, records::encodeSessionSecret(s));
}

void DefaultsWindow::update_conv(ConverterConfig frm)
{
    const auto rows = converterRows();
    for (size_t n = 0; n < rows.size(); ++n) {
        const ConverterEntry& e = frm.converters[n];
        rows[n].box->setChecked(e.enabled);
        const int baud = rows[n].baudrate->findText(QString::number(e.baudrate));
        if (baud >= 0)
            rows[n].baudrate->setCurrentIndex(baud);
        rows[n].self_port->setValue(e.self_port);
        rows[n].dest_port->setValue(e.dest_port);
        rows[n].dest_addr->setText(ipv4text::format(e.dest_addr));
    }
}

void DefaultsWindow::read_conv(OP_PAYLOAD_t& frm)
{
    ConverterConfig c;
    const auto rows = converterRows();
    for (size_t n = 0; n < rows.size(); ++n) {
        ConverterEntry& e = c.converters[n];
        e.enabled = rows[n].box->isChecked();
        bool number = false;
        const uint baud = rows[n].baudrate->currentText().toUInt(&number);
        e.baudrate = number ? baud : 0;
        e.self_port = static_cast<uint16_t>(rows[n].self_port->value());
        e.dest_port = static_cast<uint16_t>(rows[n].dest_port->value());
        e.dest_addr = ipv4text::parse(rows[n].dest_addr->text());
    }
    writeRecord(frm, records::encodeConverters(c));
}

void DefaultsWindow::update_roles_cmb(int mode)
{
    QComboBox* roles = ui->op_defaults_unit_cmb;
    const int role = roles->currentIndex();
    roles->clear();
    if (mode > 7) {
        roles->addItems({QStringLiteral("Земля"), QStringLiteral("Ретранслятор"), QStringLiteral("Абонент")});
        roles->setCurrentIndex(role);
    } else {
        roles->addItems({QStringLiteral("Земля"), QStringLiteral("Борт")});
        roles->setCurrentIndex(role < 1 ? role : 1);
    }
}

void DefaultsWindow::update_opmode_label()
{
    const uint8_t opmode = records::encodeOpmode(
        ui->op_defaults_mode_cmb->currentIndex(), ui->op_defaults_unit_cmb->currentIndex(),
        ui->op_defaults_ls_chan_cmb->currentIndex(), ui->op_defaults_hs_chan_cmb->currentIndex());
    ui->op_defaults_opmode_lbl->setText(QStringLiteral("Режим (%1)").arg(opmode));
}

void DefaultsWindow::send_selected_settings()
{
    emit signal_selected_settings(ui->op_defaults_tab_widget->currentIndex());
}

uint64_t DefaultsWindow::presetFrequency() const
{
    return frequency_list.isEmpty() ? presets::builtInChannels().first() : frequency_list.first();
}

void DefaultsWindow::sendPreset(presets::Core core, uint8_t mode, uint8_t ls, uint8_t hs,
                                const presets::Pipelines& pipelines)
{
    emit signal_CMD_DEFAULTS_SET(presets::defaults(core, mode, ls, hs, presetFrequency(), pipelines));
    emit signal_CMD_UART_CONV_CONFIG(presets::converters(core));
    emit signal_CMD_SESSION_SECRET(presets::defaultSessionSecret());
    emit signal_reboot();
}

void DefaultsWindow::preset_p2p_main_abonent(uint8_t mode, uint8_t ls, uint8_t hs, QString gst_string_fm2,
                                             QString gst_string_fm4)
{
    sendPreset(presets::Core::MainAbonent, mode, ls, hs, {gst_string_fm2, gst_string_fm4});
}

void DefaultsWindow::preset_p2p_main_ground(uint8_t mode, uint8_t ls, uint8_t hs)
{
    sendPreset(presets::Core::MainGround, mode, ls, hs);
}

void DefaultsWindow::preset_p2p_kt_abonent(uint8_t mode, uint8_t ls, uint8_t hs)
{
    sendPreset(presets::Core::KtAbonent, mode, ls, hs);
}

void DefaultsWindow::preset_p2p_kt_ground(uint8_t mode, uint8_t ls, uint8_t hs)
{
    sendPreset(presets::Core::KtGround, mode, ls, hs);
}

void DefaultsWindow::preset_p2p_ls_abonent() { preset_p2p_main_abonent(1, 1, 0, QString(), QString()); }

void DefaultsWindow::preset_p2p_ls_ground() { preset_p2p_main_ground(1, 1, 0); }

void DefaultsWindow::preset_p2p_hs_bpsk_abonent()
{
    const presets::Pipelines p = presets::q35();
    preset_p2p_main_abonent(3, 1, 0, p.fm2, p.fm4);
}

void DefaultsWindow::preset_p2p_hs_bpsk_ground() { preset_p2p_main_ground(3, 1, 0); }

void DefaultsWindow::preset_p2p_hs_qpsk_abonent()
{
    const presets::Pipelines p = presets::q35();
    preset_p2p_main_abonent(3, 1, 1, p.fm2, p.fm4);
}

void DefaultsWindow::preset_p2p_hs_qpsk_ground() { preset_p2p_main_ground(3, 1, 1); }

void DefaultsWindow::preset_p2p_a_abonent()
{
    const presets::Pipelines p = presets::q55();
    preset_p2p_main_abonent(4, 1, 0, p.fm2, p.fm4);
}

void DefaultsWindow::preset_p2p_a_ground() { preset_p2p_main_ground(4, 1, 0); }

void DefaultsWindow::preset_p2p_c_abonent()
{
    const presets::Pipelines p = presets::q55();
    preset_p2p_main_abonent(6, 2, 0, p.fm2, p.fm4);
}

void DefaultsWindow::preset_p2p_c_ground() { preset_p2p_main_ground(6, 2, 0); }

void DefaultsWindow::preset_p2p_d_abonent() { preset_p2p_kt_abonent(7, 2, 0); }

void DefaultsWindow::preset_p2p_d_ground() { preset_p2p_kt_ground(7, 2, 0); }
