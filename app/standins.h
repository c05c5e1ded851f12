#pragma once
// Placeholders for the chat panel and the rotator thread until they land.
// Each offers exactly what the main window uses of the real class, and does nothing.

#include "records.h"

#include <QHostAddress>
#include <QWidget>

class ChatStandIn : public QWidget
{
    Q_OBJECT
public:
    explicit ChatStandIn(QWidget* parent = nullptr);

    void set_abonent(const REP_DEFAULTS_SET_t& defaults);
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
};
