#include "phonecontrol.h"

#include <QDebug>
#include <array>

namespace {

using namespace std::chrono;

constexpr qint64 kCallTimeoutMs = 1000;    // also the period of the signal report
constexpr qint64 kDialTonePeriodMs = 4000;
// After a hang-up the peer keeps sending until its own time-out notices our silence;
// that tail must not ring as a new incoming call.
constexpr qint64 kHangUpGuardMs = 1500;
constexpr int kBadSignalLevel = 1;  // at most one bar over a whole window
constexpr int kGoodSignalLevel = 3; // hysteresis keeps the display from flickering
// A longer silence is a flow that stopped (the peer hung up): the time-out ends that call.
constexpr qint64 kFlowGapMs = 500;

// Expected bits per second of a Speex narrowband frame flow, index = quality.
constexpr std::array<int, 11> bitrates{2150, 3950, 5950, 8000, 8000, 11000, 11000,
                                       15000, 15000, 18200, 24600};

constexpr int kMaxDatagram = 2048;

struct StateLook {
    const char* action_text;
    const char* state_str;
    QColor color;
};

const std::array<StateLook, 5>& state_looks()
{
    static const std::array<StateLook, 5> looks{{
        {"Вызов", "Офлайн", QColor(Qt::white)},
        {"Сброс", "Исходящий", QColor("#D2753A")},
        {"Ответ", "Входящий", QColor("#D2753A")},
        {"Сброс", "Вызов", QColor("#94DC65")},
        {"Сброс", "Плохой сигнал", QColor("#E86A6D")},
    }};
    return looks;
}

qint64 elapsed_ms(steady_clock::time_point since)
{
    return duration_cast<milliseconds>(steady_clock::now() - since).count();
}

void log_short_write(qint64 written, int expected)
{
    qDebug().noquote() << QStringLiteral("Send to socket error. Written %1, expected %2")
                              .arg(written)
                              .arg(expected);
}

} // namespace

PhoneControl::PhoneControl(QObject* parent)
    : QObject(parent)
    , socket(this)
    , audio(this)
    , timer(this)
{
    timer.setInterval(100);
    connect(&timer, &QTimer::timeout, this, &PhoneControl::_check_timeout);
    timer.start();
}

bool PhoneControl::bind_socket(quint16 port)
{
    if (port == 0) {
        qWarning("Zero self port");
        return false;
    }
    // A text sent while unbound binds the socket to a spare port; drop that binding first.
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.close();
    if (!socket.bind(QHostAddress::Any, port)) {
        qWarning() << "Failed bind socket to port:" << port;
        return false;
    }
    connect(&socket, &QUdpSocket::readyRead, this, &PhoneControl::_recv_socket, Qt::UniqueConnection);
    return true;
}

void PhoneControl::release_socket()
{
    _stop_call();
    disconnect(&socket, &QUdpSocket::readyRead, this, &PhoneControl::_recv_socket);
    socket.close();
}

void PhoneControl::voice_action(const QHostAddress& address, quint16 port, int quality)
{
    if (state == Offline || state == Incoming) {
        peer_address = address;
        peer_port = port;
        this->quality = quality;
    } else {
        peer_address.clear();
        peer_port = 0;
        this->quality = -1;
    }
    handle_event(CallButton);
}

void PhoneControl::handle_event(int event)
{
    switch (state) {
    case Offline:
        if (event == VoiceArrived) {
            state = Incoming;
            audio.play_ringtone();
        } else if (event == CallButton) {
            state = Outgoing;
            start_or_go_offline();
        }
        break;
    case Outgoing:
        if (event == VoiceArrived) {
            state = Call;
            audio.stop_dialtone();
        } else if (event == CallButton) {
            audio.stop_dialtone();
            hang_up();
        }
        break;
    case Incoming:
        if (event == CallButton) {
            state = Call;
            audio.stop_ringtone();
            start_or_go_offline();
        } else if (event == TimeOut) {
            state = Offline;
            audio.stop_ringtone();
            _stop_call();
        }
        break;
    case Call:
    case BadSignal:
        if (event == CallButton) {
            hang_up();
        } else if (event == TimeOut) {
            state = Offline;
            _stop_call();
        } else if (event == SignalLost && state == Call) {
            state = BadSignal;
        } else if (event == SignalBack && state == BadSignal) {
            state = Call;
        }
        break;
    }
    const StateLook& look = state_looks()[size_t(state)];
    emit update_ui(QString::fromUtf8(look.action_text), QString::fromUtf8(look.state_str), look.color);
}

// A call whose audio cannot start is no call: showing "outgoing" or "call" while nothing
// is sent would report a failure as success.
void PhoneControl::start_or_go_offline()
{
    if (!_start_call())
        state = Offline;
}

void PhoneControl::hang_up()
{
    state = Offline;
    last_hang_up = Clock::now();
    _stop_call();
}

bool PhoneControl::_start_call()
{
    if (peer_address.isNull()) {
        qWarning("Serial communication not implemented");
        _stop_call();
        emit call_failed(QStringLiteral("Вызов не начат: не задан адрес собеседника"));
        return false;
    }
    if (quality < 0 || !audio.init_input(quality)) {
        qWarning("Audio input initialize error");
        _stop_call();
        emit call_failed(QStringLiteral("Вызов не начат: микрофон недоступен"));
        return false;
    }
    if (!audio.init_output()) {
        qWarning("Audio output initialize error");
        _stop_call();
        emit call_failed(QStringLiteral("Вызов не начат: вывод звука недоступен"));
        return false;
    }
    connect(&audio, &audioworkshop::send_voice, this, &PhoneControl::_send_voice, Qt::UniqueConnection);
    return true;
}

void PhoneControl::_stop_call()
{
    disconnect(&audio, &audioworkshop::send_voice, this, &PhoneControl::_send_voice);
    audio.release_input();
    audio.release_output();
    peer_address.clear();
    peer_port = 0;
    expected_bitrate = 0;
    quality = -1;
    signal_window_in_call = false;
}

void PhoneControl::_send_voice(const QByteArray& data)
{
    if (!(state == Outgoing || state == Call || state == BadSignal) || quality < 0)
        return;
    QByteArray datagram(1, char(quality << 3));
    datagram.append(data);
    const qint64 written = socket.writeDatagram(datagram, peer_address, peer_port);
    if (written != datagram.size())
        log_short_write(written, datagram.size());
}

void PhoneControl::set_noise_suppression(bool on)
{
    audio.set_noise_suppression(on);
}

void PhoneControl::set_automatic_gain(bool on)
{
    audio.set_automatic_gain(on);
}

void PhoneControl::chat_message_send(const QString& text)
{
    chat_message_send_to(peer_address, peer_port, text);
}

bool PhoneControl::chat_message_send_to(const QHostAddress& address, quint16 port, const QString& text)
{
    QByteArray datagram(1, char((quality * 8 + 1) & 0xFF));
    datagram.append(text.toUtf8());
    const qint64 written = socket.writeDatagram(datagram, address, port);
    if (written != datagram.size()) {
        log_short_write(written, datagram.size());
        return false;
    }
    return true;
}

void PhoneControl::_recv_socket()
{
    if (!socket.hasPendingDatagrams())
        return;
    QByteArray datagram(kMaxDatagram, '\0');
    const qint64 length = socket.readDatagram(datagram.data(), datagram.size());
    if (length > 0) {
        datagram.truncate(int(length));
        process_message(datagram);
    }
}

void PhoneControl::process_message(const QByteArray& datagram)
{
    if (datagram.isEmpty())
        return;
    const auto header = quint8(datagram.at(0));
    // The quality field has 32 values but only 11 have a known bit rate.
    const size_t sender_quality = header >> 3;
    expected_bitrate = sender_quality < bitrates.size() ? bitrates[sender_quality] : 0;
    rx_bits += qint64(datagram.size() - 1) * 8;
    const QByteArray body = datagram.mid(1);

    switch (header & 7) {
    case 0:
        ++rx_voice_frames;
        last_voice_rx = Clock::now();
        if (state == Offline && elapsed_ms(last_hang_up) <= kHangUpGuardMs)
            break;
        handle_event(VoiceArrived);
        if (state == Call || state == BadSignal)
            audio.write_to_out(body);
        break;
    case 1: {
        const int end = body.indexOf('\0');
        emit chat_incoming_message(QString::fromUtf8(end < 0 ? body : body.left(end)));
        break;
    }
    default:
        qWarning("Current message type not supported");
        break;
    }
}

void PhoneControl::_check_timeout()
{
    if (elapsed_ms(last_voice_rx) > kCallTimeoutMs
        && (state == Incoming || state == Call || state == BadSignal))
        handle_event(TimeOut);

    const qint64 window_ms = elapsed_ms(last_signal_update);
    if (window_ms > kCallTimeoutMs) {
        last_signal_update = Clock::now();
        const int level = expected_bitrate > 0 ? qRound(4.0 * double(rx_bits) / expected_bitrate) : 0;
        rx_bits = 0;
        emit update_signal(level);
        judge_signal(level);
        // The first window starts at the clock's epoch and says nothing about a rate.
        const double rate = window_ms < 10 * kCallTimeoutMs ? rx_voice_frames * 1000.0 / double(window_ms) : 0.0;
        rx_voice_frames = 0;
        emit update_voice_stats(audio.playout_stats(), rate);
    }

    if (state == Outgoing && elapsed_ms(last_dial_tone) > kDialTonePeriodMs) {
        last_dial_tone = Clock::now();
        audio.play_dialtone();
    }
}

// Only a window that ran wholly inside the call says anything about the link (the first one
// of a call holds only part of the flow), and only while voice still arrives.
void PhoneControl::judge_signal(int level)
{
    const bool whole_window = signal_window_in_call;
    signal_window_in_call = state == Call || state == BadSignal;
    if (!whole_window)
        return;
    if (state == Call && level <= kBadSignalLevel && elapsed_ms(last_voice_rx) <= kFlowGapMs)
        handle_event(SignalLost);
    else if (state == BadSignal && level >= kGoodSignalLevel)
        handle_event(SignalBack);
}
