#include "client.h"

#include "bytes.h"
#include "ipv4text.h"
#include "journal.h"
#include "opcodenames.h"
#include "traffic_log.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QUdpSocket>
#include <QtEndian>

namespace {

constexpr int kAgeingIntervalMs = 500;
constexpr qint64 kAbonentLifetimeMs = 5000;
constexpr int kLargestDatagram = 65536;
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

// Little-endian word of a received datagram; bytes it does not hold read as zero.
quint16 wordAt(const char* datagram, int size, int offset)
{
    const auto byteAt = [&](int i) { return i < size ? static_cast<quint8>(datagram[i]) : quint8(0); };
    return static_cast<quint16>(byteAt(offset) | (byteAt(offset + 1) << 8));
}

// Whether a socket that does not share its port can bind it: if not, some socket already receives there.
bool portTaken(const QHostAddress& address, quint16 port)
{
    if (port == 0)
        return false;
    QUdpSocket probe;
    return !probe.bind(address, port, QUdpSocket::DontShareAddress)
        && probe.error() == QAbstractSocket::AddressInUseError;
}

// Entries are only ever made from plain IPv4 senders, so address and port make the key.
quint64 abonentKey(quint32 ipv4, quint16 port)
{
    return (quint64(ipv4) << 16) | port;
}

qint64 systemClock()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

Client::Client(QObject* parent)
    : QObject(parent)
    , clock(systemClock)
    , receive_buffer(kLargestDatagram, Qt::Uninitialized)
{
    static const int registered = (qRegisterMetaType<OpAbonent>(), qRegisterMetaType<QList<OpAbonent>>());
    Q_UNUSED(registered)

    cleanup_timer.setInterval(kAgeingIntervalMs);
    connect(&cleanup_timer, &QTimer::timeout, this, &Client::cleanupAbonentList);
}

Client::~Client()
{
    cleanupControl();
}

void Client::setClock(std::function<qint64()> newClock)
{
    clock = newClock ? std::move(newClock) : systemClock;
}

void Client::setJournal(Journal* newJournal)
{
    journal = newJournal;
    watch.setJournal(newJournal);
}

double Client::reportLoss(const QHostAddress& address, quint16 port) const
{
    return watch.loss(address.toIPv4Address(), port);
}

bool Client::initializeControl(QHostAddress addr, quint16 port)
{
    cleanupControl();
    port_shared = portTaken(addr, port);
    socket = new QUdpSocket;
    if (!socket->bind(addr, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        delete socket;
        socket = nullptr;
        port_shared = false;
        // The station retries the bind often: one entry per failing spell.
        if (journal && !bind_failed)
            journal->append(JournalEntry::Port, QString(), QStringLiteral("Порт %1 не открыт").arg(port));
        bind_failed = true;
        return false;
    }
    bind_failed = false;
    if (port_shared && journal)
        journal->append(JournalEntry::Port, QString(),
                        QStringLiteral("Порт %1 уже принимает другая программа: отчёты могут уходить к ней").arg(port));
    // A thousand modems send about 3000 datagrams a second; the default buffer (about 200 KB, some
    // 256 small datagrams on loopback) overflows whenever the GUI thread is busy for 85 ms.
    // The kernel caps the request at net.core.rmem_max.
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    connect(socket, &QUdpSocket::readyRead, this, &Client::controlRecv);
    cleanup_timer.start();
    return true;
}

void Client::cleanupControl()
{
    if (!socket)
        return;
    disconnect(socket, &QUdpSocket::readyRead, this, &Client::controlRecv);
    delete socket;
    socket = nullptr;
}

quint32 Client::getControlLocalAddress()
{
    return socket ? qToBigEndian(socket->localAddress().toIPv4Address()) : 0;
}

void Client::controlRecv()
{
    if (!socket)
        return;
    QHostAddress sender;
    quint16 senderPort = 0;
    // Returns -1 when nothing is pending: no separate check (and system call) needed.
    const qint64 read = socket->readDatagram(receive_buffer.data(), receive_buffer.size(), &sender, &senderPort);
    if (read < 1)
        return;
    handleDatagram(receive_buffer.constData(), static_cast<int>(read), sender, senderPort);
}

void Client::handleDatagram(const char* datagram, int size, const QHostAddress& sender, quint16 senderPort)
{
    // Every comparison and text uses the plain IPv4 form; other senders count as 0.0.0.0.
    const quint32 senderIpv4 = sender.toIPv4Address();
    const quint16 signature = wordAt(datagram, size, 0);
    const quint16 opcode = wordAt(datagram, size, 4);

    qCDebug(trafficLog) << QStringLiteral("[IN] <- '%1:%2' - %3:%4, %5 bytes, filter '%6'")
                               .arg(QHostAddress(senderIpv4).toString(), QString::number(senderPort),
                                    protocol::hex4(signature), protocol::hex4(opcode), QString::number(size),
                                    filter_address.toString());

    if (signature != protocol::kSignature) {
        qCDebug(trafficLog) << "Bag signature";
        return;
    }
    if (size < protocol::kHeaderSize)
        return;

    const qint64 now = clock();
    const quint16 seqnum = wordAt(datagram, size, 2);
    if (log_file.isOpen())
        log_writer.append(log_file, now, senderIpv4, senderPort, packetlog::Received, datagram, size);

    const char* payload = datagram + protocol::kHeaderSize;
    const int payloadSize = size - protocol::kHeaderSize;
    if (opcode == REP_CONT_STATUS)
        updateAbonent(now, seqnum, payload, payloadSize, senderIpv4, senderPort);

    const bool fromFilterSource = filter_address.protocol() == QAbstractSocket::IPv4Protocol
        && filter_address.toIPv4Address() == senderIpv4 && filter_port == senderPort;
    if (fromFilterSource && opcode != REP_CONT_STATUS)
        watch.heard(senderIpv4, senderPort, seqnum);
    if (fromFilterSource)
        dispatch(opcode, seqnum, QByteArray(payload, payloadSize), senderIpv4, senderPort);
}

void Client::updateAbonent(qint64 now, quint16 seqnum, const char* payload, int payloadSize, quint32 senderIpv4,
                           quint16 senderPort)
{
    QMutexLocker locker(&abonents_mutex);

    const quint64 key = abonentKey(senderIpv4, senderPort);
    int index = abonent_index.value(key, -1);
    if (index < 0) {
        index = abonents.size();
        abonents.append(OpAbonent{QHostAddress(senderIpv4), senderPort});
        abonent_index.insert(key, index);
    }
    watch.heard(senderIpv4, senderPort, seqnum);

    OpAbonent& entry = abonents[index];
    entry.last_seen = now;
    entry.seqnum = seqnum;
    // A short report keeps what it has; the rest of the copy is zero.
    const int present = qMin(payloadSize, protocol::kContStatusSize);
    char* status = entry.status.data();
    memcpy(status, payload, static_cast<size_t>(present));
    memset(status + present, 0, static_cast<size_t>(protocol::kContStatusSize - present));
    entry.updated = 1;
    entry.delete_mark = 0;

    emit signal_UpdatedAbonents(abonents);

    // Indexed again: a receiver that kept the list shares its records, and this write must not reach them.
    abonents[index].updated = 0;
}

void Client::dispatch(quint16 opcode, quint16 seqnum, const QByteArray& payload, quint32 senderIpv4,
                      quint16 senderPort)
{
    switch (opcode) {
    case REP_UNSUPPORTED: emit signal_REP_UNSUPPORTED(seqnum, payload); break;
    case REP_TX_FREQUENCY: emit signal_REP_TX_FREQUENCY(seqnum, payload); break;
    case REP_RX_FREQUENCY: emit signal_REP_RX_FREQUENCY(seqnum, payload); break;
    case REP_ANTENNA_SEL: emit signal_REP_ANTENNA_SEL(seqnum, payload); break;
    case REP_DEFAULTS_SET: emit signal_REP_DEFAULTS_SET(seqnum, payload); break;
    case REP_REBOOT_DEVICE: emit signal_REP_REBOOT_DEVICE(seqnum, payload); break;
    case REP_SET_TX_MODE: emit signal_REP_SET_TX_MODE(seqnum, payload); break;
    case REP_VERSION: emit signal_REP_VERSION(seqnum, payload); break;
    case REP_CONT_STATUS: emit signal_REP_CONT_STATUS(seqnum, payload); break;
    case REP_PARAMETERS: emit signal_REP_PARAMETERS(seqnum, payload); break;
    case REP_EXTENDED_STATUS: emit signal_REP_EXTENDED_STATUS(seqnum, payload); break;
    case REP_UART_CONV_CONFIG: emit signal_REP_UART_CONV_CONFIG(seqnum, payload); break;
    case REP_ID_STATISTIC: emit signal_REP_ID_STATISTIC(seqnum, payload); break;
    case REP_SESSION_SECRET: emit signal_REP_SESSION_SECRET(seqnum, payload); break;
    case REP_TX_POWER_MODE: emit signal_REP_TX_POWER_MODE(seqnum, payload); break;
    case REP_SET_HS_CHANNEL_MOD: emit signal_REP_SET_HS_CHANNEL_MOD(seqnum, payload); break;
    default:
        qCDebug(trafficLog) << QStringLiteral("[IN] <- Unknown %1, %2 from %3:%4")
                                   .arg(protocol::hex4(opcode), QString::number(seqnum),
                                        QHostAddress(senderIpv4).toString(), QString::number(senderPort));
    }
}

void Client::cleanupAbonentList()
{
    QMutexLocker locker(&abonents_mutex);
    QList<OpAbonent> removed;
    for (int i = 0; i < abonents.size();) {
        const OpAbonent& entry = abonents.at(i);
        // A negative age (clock stepped back) keeps the entry.
        if (clock() - entry.last_seen >= kAbonentLifetimeMs || entry.delete_mark) {
            watch.lost(entry.address.toIPv4Address(), entry.port);
            removed.append(abonents.takeAt(i));
        } else
            ++i;
    }
    if (removed.isEmpty())
        return;
    abonent_index.clear();
    for (int i = 0; i < abonents.size(); ++i)
        abonent_index.insert(abonentKey(abonents.at(i).address.toIPv4Address(), abonents.at(i).port), i);
    emit signal_DeletedAbonents(removed);
}

bool Client::initialize(QHostAddress ip, quint16 control_port)
{
    return initializeControl(ip, control_port);
}

void Client::cleanup()
{
    cleanupControl();
}

quint32 Client::getLocalAddress()
{
    return getControlLocalAddress();
}

quint16 Client::getControlLocalPort()
{
    return socket ? socket->localPort() : 0;
}

int Client::abonentsCount()
{
    return abonents.size();
}

void Client::abonentMarkDelete(QHostAddress addr, quint16 port)
{
    QMutexLocker locker(&abonents_mutex);
    for (OpAbonent& entry : abonents) {
        if (entry.address == addr && entry.port == port)
            entry.delete_mark = 1;
    }
}

bool Client::send(OPCODE opcode, const OP_PAYLOAD_t& formular, QString dest_ip, quint16 dest_port)
{
    const QHostAddress destination = ipv4text::address(dest_ip);
    if (destination.isNull()) {
        qDebug() << QStringLiteral("[OUT] -> Not an address '%1'").arg(dest_ip);
        return false;
    }
    return send(opcode, formular, destination, dest_port);
}

bool Client::send(OPCODE opcode, const OP_PAYLOAD_t& formular, QHostAddress dest_ip, quint16 dest_port)
{
    if (!socket) {
        qCDebug(trafficLog) << "[OP] <X> Socket not initialized";
        return false;
    }
    const int length = protocol::payloadLength(opcode, formular.bytes);
    if (length < 0) {
        qCDebug(trafficLog) << QStringLiteral("[OUT] -> Unknown opcode %1").arg(protocol::hex4(opcode));
        return false;
    }
    // A session-secret length word can claim more than the payload buffer holds.
    if (length > protocol::kPayloadSize) {
        qCDebug(trafficLog) << QStringLiteral("[OUT] -> Bad length %1 for %2")
                                   .arg(QString::number(length), protocol::hex4(opcode));
        return false;
    }
    const QByteArray frame = protocol::buildFrame(opcode, formular);

    if (opcode == CMD_GET_REPORT)
        qCDebug(trafficLog) << QStringLiteral("[OUT] -> '%1:%2' - %3->%4, %5 bytes")
                                   .arg(dest_ip.toString(), QString::number(dest_port), protocol::hex4(opcode),
                                        protocol::hex4(bytes::u16(frame, protocol::kHeaderSize)),
                                        QString::number(frame.size()));
    else
        qCDebug(trafficLog) << QStringLiteral("[OUT] -> '%1:%2' - %3, %5 bytes")
                                   .arg(dest_ip.toString(), QString::number(dest_port), protocol::hex4(opcode),
                                        QString::number(frame.size()));

    socket->writeDatagram(frame, dest_ip, dest_port);
    if (journal) {
        QString name = opcodenames::name(opcode);
        if (opcode == CMD_GET_REPORT)
            name += QStringLiteral(" → ") + opcodenames::name(bytes::u16(frame, protocol::kHeaderSize));
        journal->append(JournalEntry::Request, LinkWatch::modemName(dest_ip.toIPv4Address(), dest_port), name);
    }

    if (log_file.isOpen())
        log_writer.append(log_file, clock(), dest_ip.toIPv4Address(), dest_port, packetlog::Sent, frame.constData(),
                          frame.size());
    return true;
}

void Client::filter(QString src_ip, uint16_t src_port)
{
    filter_address = ipv4text::address(src_ip);
    filter_port = src_port;
}

bool Client::logger_enable(bool enable)
{
    log_file.close();
    if (!enable)
        return true;
    // Unbuffered: every record reaches the OS at once, so a killed station loses none.
    // Append: a name met again (same millisecond) extends the file instead of overwriting it.
    if (!packetlog::openPrivate(log_file, packetlog::fileName(logger_path, QDateTime::fromMSecsSinceEpoch(clock()))))
        qDebug() << "can't open log file";
    return true;
}

void Client::set_logger_path(QString& path)
{
    logger_path = path;
}
