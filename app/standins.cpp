#include "standins.h"

ChatStandIn::ChatStandIn(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("chat"));
    setWindowTitle(QStringLiteral("Чат"));
}

void ChatStandIn::set_abonent(const REP_DEFAULTS_SET_t&) {}
