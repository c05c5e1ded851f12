#include "abonent_health.h"

#include "journal.h"
#include "records.h"
#include "status_display.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QToolTip>

namespace {

QColor stateColour(AbonentHealth::State state)
{
    switch (state) {
    case AbonentHealth::Good: return QColor(0x2e, 0xa0, 0x43);
    case AbonentHealth::Degraded: return QColor(0xe0, 0xa0, 0x00);
    case AbonentHealth::Lost: return QColor(0xd0, 0x20, 0x20);
    }
    return Qt::gray;
}

// A dot for a modem, an arrow for the current one: the mark differs in shape, not only colour.
QIcon makeIcon(AbonentHealth::State state, bool current)
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(stateColour(state));
    if (current)
        painter.drawPolygon(QPolygonF({ QPointF(2, 1.5), QPointF(14.5, 8), QPointF(2, 14.5) }));
    else
        painter.drawEllipse(QRectF(3.5, 3.5, 9, 9));
    return QIcon(picture);
}

QString keyOfLine(const QString& text)
{
    return text.section(QLatin1Char(':'), 0, 1);
}

} // namespace

AbonentHealth::AbonentHealth(QListWidget& list, std::function<qint64()> clock, QObject* parent)
    : QObject(parent)
    , list(list)
    , clock(std::move(clock))
{
    for (int current = 0; current < 2; ++current) {
        for (State state : { Good, Degraded, Lost })
            icons[current][state] = makeIcon(state, current);
    }
    list.installEventFilter(this);
    list.viewport()->installEventFilter(this);
    recheckTimer.setInterval(kRecheckMs);
    connect(&recheckTimer, &QTimer::timeout, this, &AbonentHealth::recheck);
    recheckTimer.start();
}

void AbonentHealth::heard(QListWidgetItem* item, const QString& key, const OpAbonent& abonent)
{
    if (!active)
        return;
    Line& line = lines[key];
    const bool fresh = line.item != item;
    line.item = item;
    line.abonent = abonent;
    line.sync = records::decodeContStatus(abonent.status).sync;
    if (fresh)
        line.decorated = false;
    decorate(line, key, clock());
    if (fresh && key == lostCurrentKey) {
        lostCurrentKey.clear();
        if (journal)
            journal->append(JournalEntry::Current, key, QStringLiteral("Бывший текущий абонент снова на связи"));
        emit lostCurrentReturned(key);
    }
}

void AbonentHealth::forget(const QString& key)
{
    const Line line = lines.take(key);
    // The highlight must not jump to a neighbour, which would look chosen.
    if (line.item && line.item == list.currentItem())
        list.setCurrentItem(nullptr);
    if (line.item && line.item->isSelected())
        list.clearSelection();
    if (key != currentKey)
        return;
    lostCurrentKey = key;
    currentKey.clear();
    if (journal)
        journal->append(JournalEntry::Current, key, QStringLiteral("Текущий абонент потерян"));
}

void AbonentHealth::setCurrent(const QString& key)
{
    const QString previous = currentKey;
    currentKey = key;
    lostCurrentKey.clear();
    const qint64 now = clock();
    for (const QString& touched : { previous, key }) {
        auto found = lines.find(touched);
        if (found != lines.end())
            decorate(*found, touched, now);
    }
    if (journal && !key.isEmpty())
        journal->append(JournalEntry::Current, key, QStringLiteral("Выбран текущий абонент"));
}

AbonentHealth::State AbonentHealth::state(const QString& key) const
{
    const auto found = lines.constFind(key);
    return found == lines.constEnd() ? Lost : stateOf(*found, clock());
}

AbonentHealth::State AbonentHealth::stateOf(const Line& line, qint64 now) const
{
    const qint64 age = now - line.abonent.last_seen;
    if (age >= kLostMs)
        return Lost;
    if (age > kQuietMs || !line.sync)
        return Degraded;
    return Good;
}

QString AbonentHealth::toolTip(const QString& key) const
{
    const auto found = lines.constFind(key);
    if (found == lines.constEnd())
        return QString();
    const qint64 now = clock();
    const ContStatus status = records::decodeContStatus(found->abonent.status);
    static const char* const kStateNames[] = { "норма", "ухудшение", "потерян" };
    QString text = QStringLiteral("%1%2\nСостояние: %3\nПоследний отчёт: %4 с назад\nСинхронизация: %5\nRSSI: %6 дБм\nРежим: %7")
                       .arg(key, key == currentKey ? QStringLiteral(" (текущий абонент)") : QString(),
                            QString::fromUtf8(kStateNames[stateOf(*found, now)]))
                       .arg(qMax<qint64>(0, now - found->abonent.last_seen) / 1000.0, 0, 'f', 1)
                       .arg(status.sync ? QStringLiteral("есть") : QStringLiteral("нет"))
                       .arg(-int(status.rssi))
                       .arg(statusview::modeRoleText(statusview::modeFromByte(status.opmode)));
    if (lossOf)
        text += QStringLiteral("\nПотери отчётов: %1 %").arg(qRound(lossOf(found->abonent) * 100));
    return text;
}

bool AbonentHealth::isCurrentMarked(const QListWidgetItem* item) const
{
    return item && item->font().bold() && !currentKey.isEmpty() && keyOfLine(item->text()) == currentKey;
}

void AbonentHealth::recheck()
{
    const qint64 now = clock();
    for (auto it = lines.begin(); it != lines.end(); ++it)
        decorate(*it, it.key(), now);
}

void AbonentHealth::decorate(Line& line, const QString& key, qint64 now)
{
    const State state = stateOf(line, now);
    const bool current = key == currentKey;
    if (line.decorated && state == line.shown && current == line.marked)
        return;
    if (!line.decorated || current != line.marked) {
        QFont font = line.item->font();
        font.setBold(current);
        line.item->setFont(font);
    }
    line.item->setIcon(icons[current][state]);
    line.shown = state;
    line.marked = current;
    line.decorated = true;
}

bool AbonentHealth::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: while the list is being destroyed its viewport() must not be called.
    if (event->type() == QEvent::ToolTip && watched == list.viewport()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QListWidgetItem* item = list.itemAt(help->pos());
        if (!item)
            return false;
        QToolTip::showText(help->globalPos(), toolTip(keyOfLine(item->text())), list.viewport());
        return true;
    }
    if (watched == &list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && list.currentItem()) {
            emit chosen(list.currentItem());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
