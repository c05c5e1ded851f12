#pragma once
// The voice panel: switches voice on for one socket of the attached modem, places and answers
// calls, shows the call state and signal level, and carries the text chat with the peer station.

#include "phonecontrol.h"
#include "records.h"

#include <QList>
#include <QWidget>

namespace Ui {
class chat;
}

class chat : public QWidget
{
    Q_OBJECT

public:
    explicit chat(QWidget* parent = nullptr);
    ~chat() override;

public slots:
    // Called with every defaults record that the attached modem reports.
    void set_abonent(const ModemDefaults& record);
    void voice_action_button_clicked();
    void voice_start_chb_state_changed();
    void voice_update_ui(const QString& action_text, const QString& state, const QColor& state_color);
    void voice_update_signal(int level);
    void on_op_socket_choice_cb_activated(int index);
    void voice_call_failed(const QString& reason);

signals:
    void call_failed(const QString& reason);

private slots:
    void chat_send_message();
    void chat_show_incoming(const QString& text);
    void voice_update_stats(const PlayoutStats& stats, double frames_per_second);

private:
    // The attached modem's own address; null while the record names none.
    QHostAddress destination_address() const;
    void set_voice_controls_enabled(bool enabled);
    void append_to_history(const QString& who, const QString& text);
    void show_destination_error();

    Ui::chat* ui;
    PhoneControl phone;
    QList<QWidget*> signal_bars;
    ModemDefaults defaults;
    quint16 self_port = 0;
};
