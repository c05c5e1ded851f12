#include "repaint_throttle.h"

RepaintThrottle::RepaintThrottle(QWidget* widget, int intervalMs, QObject* parent)
    : QObject(parent)
    , widget(widget)
{
    timer.setSingleShot(true);
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, this, &RepaintThrottle::release);
}

RepaintThrottle::~RepaintThrottle()
{
    release();
}

void RepaintThrottle::setWidget(QWidget* newWidget)
{
    release();
    widget = newWidget;
}

bool RepaintThrottle::holding() const
{
    return held;
}

void RepaintThrottle::hold()
{
    // Updates turned off by someone else stay theirs to turn on.
    if (held || !widget || !widget->updatesEnabled())
        return;
    widget->setUpdatesEnabled(false);
    held = true;
    timer.start();
}

void RepaintThrottle::release()
{
    if (!held)
        return;
    held = false;
    timer.stop();
    emit releasing();
    if (widget)
        widget->setUpdatesEnabled(true);
}
