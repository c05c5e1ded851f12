#include "presets.h"

namespace presets {

namespace {

constexpr uint32_t kGroundAddress = 0xC0A80B0C; // 192.168.11.12
constexpr uint32_t kBoardAddress = 0xC0A80B0B;  // 192.168.11.11
constexpr uint32_t kGateway = 0xC0A80B01;       // 192.168.11.1
constexpr uint32_t kPeerAddress = 0xC0A80BCD;   // 192.168.11.205
constexpr uint32_t kLoopback = 0x7F000001;      // 127.0.0.1
constexpr uint8_t kPrefix = 24;
constexpr uint8_t kFullPower = 100;

bool isBoard(Core core) { return core == Core::MainAbonent || core == Core::KtAbonent; }
bool isKt(Core core) { return core == Core::KtGround || core == Core::KtAbonent; }

QString pipeline(int framerate, int quality)
{
    return QStringLiteral("gst-launch-1.0 v4l2src device=/dev/video0 ! video/x-raw,framerate=%1/1,"
                          "format=YUY2,width=640,height=480 ! videoconvert ! video/x-raw,format=I420 ! "
                          "jpegenc quality=%2 idct-method=ifast snapshot=false ! image/jpeg ! "
                          "rtpjpegpay ! udpsink host=127.0.0.1 port=10004")
        .arg(framerate)
        .arg(quality);
}

SocketEntry socket(uint16_t port, uint32_t address, uint16_t destPort)
{
    SocketEntry s;
    s.self_port = port;
    s.dest_addr = address;
    s.dest_port = destPort;
    return s;
}

} // namespace

Pipelines q35() { return {pipeline(5, 35), pipeline(10, 35)}; }

Pipelines q55() { return {pipeline(7, 55), pipeline(15, 55)}; }

QList<uint64_t> builtInChannels()
{
    QList<uint64_t> channels;
    for (uint64_t mhz = 1400; mhz <= 1455; mhz += 11)
        channels << mhz * 1000000;
    return channels;
}

ModemDefaults defaults(Core core, uint8_t mode, uint8_t ls, uint8_t hs, uint64_t frequency,
                            const Pipelines& pipelines)
{
    ModemDefaults d;
    d.opmode = records::encodeOpmode(mode, isBoard(core) ? 1 : 0, ls, hs);
    d.rx_frequency = frequency;
    d.tx_frequency = frequency;
    d.ip_addr = isBoard(core) ? kBoardAddress : kGroundAddress;
    d.prefix = kPrefix;
    d.local_status = isKt(core);
    d.gateway = kGateway;
    d.control_port = 40005;
    for (int i = 0; i < 5; ++i) {
        const auto port = static_cast<uint16_t>(10001 + i);
        const auto relayPort = static_cast<uint16_t>(11001 + i);
        d.sockets[i] = socket(port, kPeerAddress, port);
        d.remote_sockets[i] = socket(relayPort, kPeerAddress, relayPort);
    }
    // The board's first socket feeds the local application rather than the ground station.
    if (isBoard(core))
        d.sockets[0] = socket(10001, kLoopback, 10000);
    d.tap_mode = 0;
    d.antenna_sel = 0;
    d.tx_mute = isKt(core);
    d.tx_power_mode = kFullPower;
    if (core == Core::MainAbonent) {
        d.gst_string_fm2 = pipelines.fm2.toUtf8().left(records::kGstStringSize);
        d.gst_string_fm4 = pipelines.fm4.toUtf8().left(records::kGstStringSize);
    }
    return d;
}

ConverterConfig converters(Core core)
{
    ConverterConfig c;
    for (int i = 0; i < 4; ++i) {
        ConverterEntry& e = c.converters[i];
        e.enabled = false;
        e.baudrate = 115200;
        e.self_port = static_cast<uint16_t>(20000 + i);
        e.dest_port = e.self_port;
        e.dest_addr = kPeerAddress;
    }
    ConverterEntry& first = c.converters[0];
    if (core == Core::MainGround) {
        // The antenna rotator's stepper controller hangs on the ground modem's first UART.
        first.enabled = true;
        first.baudrate = 9600;
        first.self_port = 30000;
        first.dest_port = 30000;
    } else if (core == Core::MainAbonent) {
        first.enabled = true;
        first.self_port = 10000;
        first.dest_port = 10001;
        first.dest_addr = kLoopback;
    }
    return c;
}

SessionSecret defaultSessionSecret()
{
    // Two halves joined here so the secret never stands whole in the binary.
    static const char head[] = "Zr4nK7pQ";
    static const char tail[] = "m2Xw9LbT";
    SessionSecret s;
    s.save = true;
    s.secret = QByteArray(head) + QByteArray(tail) + '\0';
    return s;
}

} // namespace presets
