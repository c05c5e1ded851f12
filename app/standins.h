#pragma once
// Placeholder for the chat panel until it lands.
// It offers exactly what the main window uses of the real class, and does nothing.

#include "records.h"

#include <QWidget>

class ChatStandIn : public QWidget
{
    Q_OBJECT
public:
    explicit ChatStandIn(QWidget* parent = nullptr);

    void set_abonent(const REP_DEFAULTS_SET_t& defaults);
};
