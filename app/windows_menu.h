#pragma once
// The main window's "Окна" menu: one action with a shortcut per secondary window, and the list
// of those windows by name, so that their places can be remembered between runs.

#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QMainWindow;

class WindowsMenu : public QObject
{
    Q_OBJECT

public:
    struct Entry {
        QString name;
        QPointer<QWidget> window;
    };

    // Puts the menu into `window`'s menu bar; the actions' shortcuts work anywhere in that window.
    void attach(QMainWindow* window);

    // An action that shows and raises `window`. With a `gate`, the action is offered only while
    // the gate (the button that opens the same window) is shown and enabled.
    QAction* addWindow(const QString& name, const QString& text, const QKeySequence& key,
                       QWidget* window, QWidget* gate = nullptr);
    // A window that brings its own opening action.
    void addWindow(const QString& name, QAction* action, QWidget* window);

    QMenu* menu() { return &windowsMenu; }
    QList<Entry> windows() const { return entries; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followGate(QAction* action, QWidget* gate);

    QMenu windowsMenu{ QStringLiteral("Окна") };
    QPointer<QMainWindow> owner;
    QList<Entry> entries;
    QList<QPair<QPointer<QWidget>, QPointer<QAction>>> gates;
};
