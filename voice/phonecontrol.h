#pragma once
// One point-to-point voice call and short text messages between two stations over one UDP
// socket; a call is announced and kept alive only by the flow of voice datagrams.

#include "audioworkshop.h"

#include <QColor>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>
#include <chrono>

class PhoneControl : public QObject
{
    Q_OBJECT

public:
    explicit PhoneControl(QObject* parent = nullptr);

    bool bind_socket(quint16 port);
    void release_socket();
    void voice_action(const QHostAddress& address, quint16 port, int quality);
    // One text message to the given destination, in any call state; false when the write fails.
    bool chat_message_send_to(const QHostAddress& address, quint16 port, const QString& text);
    // Capture clean-up for this and every later call.
    void set_noise_suppression(bool on);
    void set_automatic_gain(bool on);

signals:
    void update_ui(const QString& action_text, const QString& state_str, const QColor& state_color);
    void update_signal(int level);
    // With every signal level: how the received voice is being played, and voice frames per second.
    void update_voice_stats(const PlayoutStats& stats, double frames_per_second);
    void chat_incoming_message(const QString& text);
    // A call could not start; the reason is meant for the operator.
    void call_failed(const QString& reason);

public slots:
    void chat_message_send(const QString& text);

private slots:
    void _recv_socket();
    void _check_timeout();
    void _send_voice(const QByteArray& data);
    bool _start_call();
    void _stop_call();

private:
    using Clock = std::chrono::steady_clock;
    enum State { Offline, Outgoing, Incoming, Call, BadSignal };
    enum Event { VoiceArrived, CallButton, TimeOut, SignalLost, SignalBack };

    void handle_event(int event);
    void start_or_go_offline();
    void hang_up();
    void process_message(const QByteArray& datagram);
    void judge_signal(int level);

    QUdpSocket socket;
    QHostAddress peer_address;
    quint16 peer_port = 0;
    int state = Offline;
    audioworkshop audio;
    qint64 rx_bits = 0;
    int rx_voice_frames = 0; // since the last signal report
    int expected_bitrate = 0;
    int quality = -1;
    QTimer timer;
    Clock::time_point last_voice_rx{};
    Clock::time_point last_signal_update{};
    Clock::time_point last_dial_tone{};
    Clock::time_point last_hang_up{};
    bool signal_window_in_call = false; // the signal window now running began inside the call
};
