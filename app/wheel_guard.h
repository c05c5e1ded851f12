#pragma once
// Keeps a stray mouse-wheel notch from retuning a modem or turning the antenna: the guarded
// controls take the wheel only while they have keyboard focus.

#include <QObject>

class QWidget;

class WheelGuard : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    void guard(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
