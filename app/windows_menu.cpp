#include "windows_menu.h"

#include <QAction>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>

void WindowsMenu::attach(QMainWindow* window)
{
    owner = window;
    window->menuBar()->addMenu(&windowsMenu);
    // Shortcuts of actions added before the menu had a window.
    window->addActions(windowsMenu.actions());
}

QAction* WindowsMenu::addWindow(const QString& name, const QString& text, const QKeySequence& key,
                                QWidget* window, QWidget* gate)
{
    auto* action = new QAction(text, &windowsMenu);
    action->setShortcut(key);
    QPointer<QWidget> target(window);
    connect(action, &QAction::triggered, this, [target] {
        if (!target)
            return;
        target->show();
        target->raise();
        target->activateWindow();
    });
    addWindow(name, action, window);
    if (gate)
        followGate(action, gate);
    return action;
}

void WindowsMenu::addWindow(const QString& name, QAction* action, QWidget* window)
{
    windowsMenu.addAction(action);
    if (owner)
        owner->addAction(action);
    entries.append({ name, window });
}

void WindowsMenu::followGate(QAction* action, QWidget* gate)
{
    gates.append({ gate, action });
    gate->installEventFilter(this);
    action->setVisible(gate->isVisibleTo(gate->window()));
    action->setEnabled(gate->isEnabled());
}

bool WindowsMenu::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShowToParent || type == QEvent::HideToParent || type == QEvent::EnabledChange) {
        for (const auto& gate : qAsConst(gates)) {
            if (gate.first != watched || !gate.second)
                continue;
            gate.second->setVisible(type == QEvent::HideToParent ? false
                                                                 : gate.first->isVisibleTo(gate.first->window()));
            gate.second->setEnabled(gate.first->isEnabled());
        }
    }
    return QObject::eventFilter(watched, event);
}
