#include "wheel_guard.h"

#include <QEvent>
#include <QWidget>

void WheelGuard::guard(QWidget* control)
{
    // Wheel focus would hand focus to the control on the very notch meant for the page.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        auto* control = qobject_cast<QWidget*>(watched);
        if (control && !control->hasFocus()) {
            // Ignored, the notch goes on to the parent (a scroll area scrolls instead).
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
