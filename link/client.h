#pragma once
// The station's end of the modem control protocol: one UDP socket, request frames out,
// report frames in (dispatched per opcode for the current abonent), the abonent list and the packet log.

#include "link_watch.h"
#include "opabonent.h"
#include "packetlog.h"
#include "protocol.h"

#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QTimer>
#include <functional>

class Journal;
class QUdpSocket;

class Client : public QObject {
    Q_OBJECT

public:
    explicit Client(QObject* parent = nullptr);
    ~Client() override;

    // Source of "now" (ms since the epoch) for the abonent list and the packet log.
    void setClock(std::function<qint64()> clock);
    qint64 now() const { return clock(); }
    // Receives modem events and every request sent; nullptr for none.
    void setJournal(Journal* journal);
    // Whether another socket already received on the port when it was last bound.
    bool portShared() const { return port_shared; }
    // Estimated share of the modem's reports lost on the way.
    double reportLoss(const QHostAddress& address, quint16 port) const;

signals:
    void signal_UpdatedAbonents(QList<OpAbonent> abonents);
    void signal_DeletedAbonents(QList<OpAbonent> abonents);

    void signal_REP_UNSUPPORTED(quint16 seqnum, const QByteArray& rep);
    void signal_REP_TX_FREQUENCY(quint16 seqnum, const QByteArray& rep);
    void signal_REP_RX_FREQUENCY(quint16 seqnum, const QByteArray& rep);
    void signal_REP_ANTENNA_SEL(quint16 seqnum, const QByteArray& rep);
    void signal_REP_DEFAULTS_SET(quint16 seqnum, const QByteArray& rep);
    void signal_REP_REBOOT_DEVICE(quint16 seqnum, const QByteArray& rep);
    void signal_REP_SET_TX_MODE(quint16 seqnum, const QByteArray& rep);
    void signal_REP_VERSION(quint16 seqnum, const QByteArray& rep);
    void signal_REP_CONT_STATUS(quint16 seqnum, const QByteArray& rep);
    void signal_REP_PARAMETERS(quint16 seqnum, const QByteArray& rep);
    void signal_REP_EXTENDED_STATUS(quint16 seqnum, const QByteArray& rep);
    void signal_REP_ID_STATISTIC(quint16 seqnum, const QByteArray& rep);
    void signal_REP_UART_CONV_CONFIG(quint16 seqnum, const QByteArray& rep);
    void signal_REP_SESSION_SECRET(quint16 seqnum, const QByteArray& rep);
    void signal_REP_TX_POWER_MODE(quint16 seqnum, const QByteArray& rep);
    void signal_REP_SET_HS_CHANNEL_MOD(quint16 seqnum, const QByteArray& rep);

protected slots:
    bool initializeControl(QHostAddress addr, quint16 port);
    void cleanupControl();
    quint32 getControlLocalAddress();
    void controlRecv();
    void cleanupAbonentList();

public slots:
    bool initialize(QHostAddress ip, quint16 control_port);
    void cleanup();
    quint32 getLocalAddress();
    quint16 getControlLocalPort();
    int abonentsCount();
    void abonentMarkDelete(QHostAddress addr, quint16 port);
    bool send(OPCODE opcode, const OP_PAYLOAD_t& formular, QString dest_ip, quint16 dest_port);
    bool send(OPCODE opcode, const OP_PAYLOAD_t& formular, QHostAddress dest_ip, quint16 dest_port);
    void filter(QString src_ip, uint16_t src_port);
    bool logger_enable(bool enable);
    void set_logger_path(QString& path);

protected:
    // Everything controlRecv does with one datagram once it has been read.
    void handleDatagram(const char* datagram, int size, const QHostAddress& sender, quint16 senderPort);

private:
    void updateAbonent(qint64 now, quint16 seqnum, const char* payload, int payloadSize, quint32 senderIpv4,
                       quint16 senderPort);
    void dispatch(quint16 opcode, quint16 seqnum, const QByteArray& payload, quint32 senderIpv4,
                  quint16 senderPort);

    QUdpSocket* socket = nullptr;
    QList<OpAbonent> abonents;
    QHash<quint64, int> abonent_index; // place in `abonents` by (IPv4 << 16 | port)
    QMutex abonents_mutex;
    QTimer cleanup_timer;
    QHostAddress filter_address;
    quint16 filter_port = 0;
    QString logger_path = QStringLiteral("./");
    QFile log_file;

    std::function<qint64()> clock;
    Journal* journal = nullptr;
    LinkWatch watch;
    bool port_shared = false;
    bool bind_failed = false;
    PacketLogWriter log_writer;
    QByteArray receive_buffer; // one datagram at a time, sized for the largest
};
