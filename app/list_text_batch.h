#pragma once
// Changes list item texts at once but tells the view about them once per repaint of its throttle:
// a QListView lays out all its items again for every change it hears of.

#include <QObject>
#include <QPointer>

class QListWidget;
class QListWidgetItem;
class RepaintThrottle;

class ListTextBatch : public QObject {
    Q_OBJECT

public:
    // `throttle` paints the list; its release shows the changes gathered so far.
    explicit ListTextBatch(RepaintThrottle& throttle, QObject* parent = nullptr);

    void setList(QListWidget* list);
    // item->text() is `text` on return; the view shows it at the throttle's next release.
    void setText(QListWidgetItem* item, const QString& text);
    bool pending() const;

public slots:
    // Shows every pending change now.
    void flush();

private:
    RepaintThrottle& throttle;
    QPointer<QListWidget> list;
    bool changed = false;
};
