#pragma once
// Remembers each tracked window's place and size by name in the given settings and puts them back
// on the next run; a window with nothing saved keeps its designed size and lets the desktop place it.

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QSettings;
class QWidget;

class WindowGeometryStore : public QObject
{
    Q_OBJECT

public:
    explicit WindowGeometryStore(QSettings& settings, QObject* parent = nullptr);

    // Restores `window` now (if it was saved before) and saves it each time it is hidden.
    void track(QWidget* window, const QString& name);
    // Saves every tracked window that is on screen now (the others were saved when they hid).
    void saveVisible();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void save(QWidget* window, const QString& name);

    QSettings& settings;
    QHash<QString, QPointer<QWidget>> windows;
};
