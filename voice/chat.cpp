#include "chat.h"
#include "ui_chat.h"

#include <QMessageBox>
#include <QPalette>
#include <QTime>

namespace {

constexpr int kSocketCount = 5;

void fill_all_groups(QWidget* widget, QPalette::ColorRole role, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::All, role, color);
    widget->setPalette(palette);
}

} // namespace

chat::chat(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::chat)
    , phone(this)
{
    ui->setupUi(this);
    signal_bars = {ui->op_voice_signal_w_0, ui->op_voice_signal_w_1, ui->op_voice_signal_w_2,
                   ui->op_voice_signal_w_3};
    for (QWidget* bar : signal_bars) {
        bar->setAutoFillBackground(true);
        fill_all_groups(bar, QPalette::Window, Qt::red);
    }
    set_voice_controls_enabled(false);

    connect(ui->op_voice_action_pb, &QPushButton::clicked, this, &chat::voice_action_button_clicked);
    connect(ui->op_voice_start_chb, &QCheckBox::clicked, this, &chat::voice_start_chb_state_changed);
    connect(&phone, &PhoneControl::update_ui, this, &chat::voice_update_ui);
    connect(&phone, &PhoneControl::call_failed, this, &chat::voice_call_failed);
    connect(&phone, &PhoneControl::update_signal, this, &chat::voice_update_signal);
    connect(&phone, &PhoneControl::update_voice_stats, this, &chat::voice_update_stats);
    // The form holds the operator's choice for the whole run; the call control follows it.
    phone.set_noise_suppression(ui->chat_noise_suppression_chb->isChecked());
    phone.set_automatic_gain(ui->chat_agc_chb->isChecked());
    connect(ui->chat_noise_suppression_chb, &QCheckBox::toggled, &phone, &PhoneControl::set_noise_suppression);
    connect(ui->chat_agc_chb, &QCheckBox::toggled, &phone, &PhoneControl::set_automatic_gain);

    connect(ui->chat_send_message_pb, &QPushButton::clicked, this, &chat::chat_send_message);
    connect(ui->chat_send_message_le, &QLineEdit::returnPressed, this, &chat::chat_send_message);
    connect(&phone, &PhoneControl::chat_incoming_message, this, &chat::chat_show_incoming);
}

chat::~chat()
{
    // Tearing down the audio spins the event loop; no datagram may reach a panel without a form.
    disconnect(&phone, nullptr, this, nullptr);
    phone.release_socket();
    delete ui;
}

void chat::set_abonent(const ModemDefaults& record)
{
    defaults = record;
    self_port = defaults.sockets[0].self_port;
}

void chat::voice_start_chb_state_changed()
{
    const int socket = qBound(0, ui->op_socket_choice_cb->currentIndex(), kSocketCount - 1);
    self_port = defaults.sockets[socket].self_port;

    if (!ui->op_voice_start_chb->isChecked()) {
        phone.release_socket();
        set_voice_controls_enabled(false);
        return;
    }
    if (phone.bind_socket(self_port)) {
        set_voice_controls_enabled(true);
        return;
    }
    QMessageBox::warning(this, QStringLiteral("Ошибка!"),
                         QStringLiteral("Не удалось установить порт приема.\nНет соединения с модемом."),
                         QMessageBox::Ok);
    ui->op_voice_start_chb->setChecked(false);
}

void chat::on_op_socket_choice_cb_activated(int)
{
    phone.release_socket();
    voice_start_chb_state_changed();
}

void chat::voice_action_button_clicked()
{
    const QHostAddress address = destination_address();
    if (address.isNull()) {
        show_destination_error();
        return;
    }
    phone.voice_action(address, self_port, ui->op_voice_quality_spb->value());
}

void chat::voice_update_ui(const QString& action_text, const QString& state, const QColor& state_color)
{
    fill_all_groups(ui->op_voice_status_le, QPalette::Base, state_color);
    ui->op_voice_status_le->setText(state);
    ui->op_voice_action_pb->setText(action_text);
}

void chat::voice_update_signal(int level)
{
    for (int i = 0; i < signal_bars.size(); ++i)
        fill_all_groups(signal_bars[i], QPalette::Window, level > i ? Qt::green : Qt::red);
}

void chat::voice_update_stats(const PlayoutStats& stats, double frames_per_second)
{
    ui->chat_voice_stats_lbl->setText(QStringLiteral("буфер %1 мс · опозд. %2 · восст. %3 · %4 кадр/с")
                                          .arg(stats.delay_ms)
                                          .arg(stats.late)
                                          .arg(stats.concealed)
                                          .arg(qRound(frames_per_second)));
}

// Text goes where a call would go: the modem's address at the chosen socket's port.
void chat::chat_send_message()
{
    const QString text = ui->chat_send_message_le->text();
    if (text.trimmed().isEmpty())
        return;
    const QHostAddress address = destination_address();
    if (address.isNull() || self_port == 0) {
        show_destination_error();
        return;
    }
    if (!phone.chat_message_send_to(address, self_port, text))
        return;
    append_to_history(QStringLiteral("Я"), text);
    ui->chat_send_message_le->clear();
}

void chat::chat_show_incoming(const QString& text)
{
    append_to_history(QStringLiteral("Собеседник"), text);
}

// 0.0.0.0 is what an empty record holds; sending there would reach this very host.
QHostAddress chat::destination_address() const
{
    return defaults.ip_addr == 0 ? QHostAddress() : QHostAddress(defaults.ip_addr);
}

void chat::set_voice_controls_enabled(bool enabled)
{
    ui->op_voice_control_gbx->setEnabled(enabled);
    ui->op_socket_choice_lbl->setEnabled(enabled);
    ui->op_socket_choice_cb->setEnabled(enabled);
    ui->op_voice_quality_lbl->setEnabled(enabled);
    ui->op_voice_quality_spb->setEnabled(enabled);
}

void chat::append_to_history(const QString& who, const QString& text)
{
    ui->chat_history_pte->appendPlainText(
        QStringLiteral("[%1] %2: %3").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), who, text));
}

void chat::show_destination_error()
{
    QMessageBox::critical(this, QStringLiteral("Ошибка!"), QStringLiteral("Ошибка установки адреса назначения!"),
                          QMessageBox::Ok);
}

void chat::voice_call_failed(const QString& reason)
{
    // Not modal: the panel keeps running (and a ringing peer keeps being heard) while it is shown.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Ошибка!"), reason, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("voice_call_error_box"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    emit call_failed(reason);
}
