#include "list_text_batch.h"

#include "repaint_throttle.h"

#include <QListWidget>
#include <QSignalBlocker>

ListTextBatch::ListTextBatch(RepaintThrottle& throttle, QObject* parent)
    : QObject(parent)
    , throttle(throttle)
{
    connect(&throttle, &RepaintThrottle::releasing, this, &ListTextBatch::flush);
}

void ListTextBatch::setList(QListWidget* newList)
{
    flush();
    list = newList;
}

void ListTextBatch::setText(QListWidgetItem* item, const QString& text)
{
    if (!list || item->listWidget() != list) {
        item->setText(text);
        return;
    }
    {
        // Only the change notice is held back; rows added or removed are announced as always.
        const QSignalBlocker quiet(list->model());
        item->setText(text);
    }
    changed = true;
    throttle.hold();
    if (!throttle.holding())
        flush();
}

bool ListTextBatch::pending() const
{
    return changed;
}

void ListTextBatch::flush()
{
    if (!changed)
        return;
    changed = false;
    if (!list || list->count() == 0)
        return;
    // The whole list: rows added or removed meanwhile have moved the changed ones, and the view
    // lays out and repaints all of it for any change anyway.
    QAbstractItemModel* model = list->model();
    emit model->dataChanged(model->index(0, 0), model->index(list->count() - 1, 0));
    // Laid out now rather than from a timer, so the repaint that follows is the only one.
    list->doItemsLayout();
}
