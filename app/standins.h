#pragma once
// Placeholders for the settings window, the chat panel and the rotator thread until they land.
// Each offers exactly what the main window uses of the real class and remembers what it was given.

#include "protocol.h"
#include "records.h"
#include "status_records.h"

#include <QCheckBox>
#include <QHostAddress>
#include <QList>
#include <QWidget>

class DefaultsWindowStandIn : public QWidget
{
    Q_OBJECT
public:
    explicit DefaultsWindowStandIn(QWidget* parent = nullptr);

    // State of the broadcast check box of the hard reset ("bc").
    bool hardResetBroadcast() const;

    QList<uint64_t> lastFrequencyList;
    REP_DEFAULTS_SET_t lastDefaults;
    REP_EXTENDED_STATUS_t lastStatistic;
    REP_RX_FREQUENCY_t lastRxFrequency;

signals:
    void signal_selected_settings(int idx);
    void signal_testing_rx_next_freq(quint64 freq);
    void signal_CMD_DEFAULTS_SET(CMD_DEFAULTS_SET_t frm);
    void signal_CMD_UART_CONV_CONFIG(CMD_UART_CONV_CONFIG_t frm);
    void signal_CMD_SESSION_SECRET(CMD_SESSION_SECRET_t frm);
    void signal_reboot();

public slots:
    void update_fields(const REP_DEFAULTS_SET_t* frm);
    void update_frequency_list(QList<uint64_t> list);
    void read_fields(OP_PAYLOAD_t& frm);
    void update_session_secret(const REP_SESSION_SECRET_t* frm);
    void read_session_secret(OP_PAYLOAD_t& frm);
    void update_conv(REP_UART_CONV_CONFIG_t frm);
    void read_conv(OP_PAYLOAD_t& frm);
    void testing_statistic_handler(REP_EXTENDED_STATUS_t rep);
    void testing_rx_frequency_handler(REP_RX_FREQUENCY_t rep);

private:
    QCheckBox* broadcastReset;
};

class ChatStandIn : public QWidget
{
    Q_OBJECT
public:
    explicit ChatStandIn(QWidget* parent = nullptr);

    void set_abonent(const REP_DEFAULTS_SET_t& defaults);

    REP_DEFAULTS_SET_t lastDefaults;
};

class RotatorStandIn : public QObject
{
    Q_OBJECT
public:
    explicit RotatorStandIn(QObject* parent = nullptr);

    int start_motor();
    void set_device_addr(QHostAddress address, quint16 port);
    void request_zero();
    void request_reinit();

    QHostAddress deviceAddress;
    quint16 devicePort = 0;
};
