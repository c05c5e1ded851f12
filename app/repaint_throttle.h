#pragma once
// Coalesces a widget's repaints while data streams into it: the first change of a burst stops its
// painting and a timer paints it once per interval. Whatever is read from the widget stays current.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class RepaintThrottle : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultIntervalMs = 50; // at most 20 repaints a second

    explicit RepaintThrottle(QWidget* widget = nullptr, int intervalMs = kDefaultIntervalMs,
                             QObject* parent = nullptr);
    ~RepaintThrottle() override;

    // The widget whose repaints are gathered from now on; one still held is painted first.
    void setWidget(QWidget* widget);

    // True while changes are gathered for the next repaint.
    bool holding() const;

signals:
    // The gathered changes are about to be painted.
    void releasing();

public slots:
    // Call before changing the widget; the change shows at the end of the interval at the latest.
    void hold();
    // Paints what has gathered now.
    void release();

private:
    QPointer<QWidget> widget;
    QTimer timer;
    bool held = false;
};
