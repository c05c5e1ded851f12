#include "window_geometry_store.h"

#include <QEvent>
#include <QSettings>
#include <QWidget>

namespace {

QString key(const QString& name)
{
    return QStringLiteral("windows/%1/geometry").arg(name);
}

} // namespace

WindowGeometryStore::WindowGeometryStore(QSettings& settings, QObject* parent)
    : QObject(parent)
    , settings(settings)
{
}

void WindowGeometryStore::track(QWidget* window, const QString& name)
{
    if (!window || name.isEmpty())
        return;
    windows.insert(name, window);
    const QByteArray saved = settings.value(key(name)).toByteArray();
    if (!saved.isEmpty() && !window->restoreGeometry(saved))
        qWarning("Saved geometry of window %s is unreadable; the designed one stays", qPrintable(name));
    window->installEventFilter(this);
}

void WindowGeometryStore::saveVisible()
{
    for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
        if (it.value() && it.value()->isVisible())
            save(it.value(), it.key());
    }
}

bool WindowGeometryStore::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide) {
        for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
            if (it.value() == watched)
                save(it.value(), it.key());
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowGeometryStore::save(QWidget* window, const QString& name)
{
    settings.setValue(key(name), window->saveGeometry());
}
