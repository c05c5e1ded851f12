#include "standins.h"

ChatStandIn::ChatStandIn(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("chat"));
    setWindowTitle(QStringLiteral("Чат"));
}

void ChatStandIn::set_abonent(const REP_DEFAULTS_SET_t&) {}

RotatorStandIn::RotatorStandIn(QObject* parent)
    : QObject(parent)
{
}

int RotatorStandIn::start_motor()
{
    return 0;
}

void RotatorStandIn::set_device_addr(QHostAddress, quint16) {}

void RotatorStandIn::request_zero() {}

void RotatorStandIn::request_reinit() {}
