#include "standins.h"

#include <QVBoxLayout>

DefaultsWindowStandIn::DefaultsWindowStandIn(QWidget* parent)
    : QWidget(parent)
    , broadcastReset(new QCheckBox(QStringLiteral("bc"), this))
{
    setObjectName(QStringLiteral("DefaultsWindow"));
    broadcastReset->setObjectName(QStringLiteral("op_hard_reset_bc_chb"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(broadcastReset);
    setWindowTitle(QStringLiteral("Настройки"));
}

bool DefaultsWindowStandIn::hardResetBroadcast() const
{
    return broadcastReset->isChecked();
}

void DefaultsWindowStandIn::update_fields(const REP_DEFAULTS_SET_t* frm)
{
    lastDefaults = *frm;
}

void DefaultsWindowStandIn::update_frequency_list(QList<uint64_t> list)
{
    lastFrequencyList = list;
}

void DefaultsWindowStandIn::read_fields(OP_PAYLOAD_t&) {}

void DefaultsWindowStandIn::update_session_secret(const REP_SESSION_SECRET_t*) {}

void DefaultsWindowStandIn::read_session_secret(OP_PAYLOAD_t&) {}

void DefaultsWindowStandIn::update_conv(REP_UART_CONV_CONFIG_t) {}

void DefaultsWindowStandIn::read_conv(OP_PAYLOAD_t&) {}

void DefaultsWindowStandIn::testing_statistic_handler(REP_EXTENDED_STATUS_t rep)
{
    lastStatistic = rep;
}

void DefaultsWindowStandIn::testing_rx_frequency_handler(REP_RX_FREQUENCY_t rep)
{
    lastRxFrequency = rep;
}

ChatStandIn::ChatStandIn(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("chat"));
    setWindowTitle(QStringLiteral("Чат"));
}

void ChatStandIn::set_abonent(const REP_DEFAULTS_SET_t& defaults)
{
    lastDefaults = defaults;
}

RotatorStandIn::RotatorStandIn(QObject* parent)
    : QObject(parent)
{
}

int RotatorStandIn::start_motor()
{
    return 0;
}

void RotatorStandIn::set_device_addr(QHostAddress address, quint16 port)
{
    deviceAddress = address;
    devicePort = port;
}

void RotatorStandIn::request_zero() {}

void RotatorStandIn::request_reinit() {}
