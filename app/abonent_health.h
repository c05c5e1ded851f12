#pragma once
// The operator's view of each line of the abonent list, beside its text: a health icon (good,
// degraded, lost), a tooltip on demand, the current abonent marked apart from the selection, and Enter to choose.

#include "opabonent.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class Journal;
class QListWidget;
class QListWidgetItem;

class AbonentHealth : public QObject {
    Q_OBJECT

public:
    enum State { Good, Degraded, Lost };

    // A modem not heard for longer than this is degraded.
    static constexpr qint64 kQuietMs = 1500;
    // The list drops a modem this long after it was last heard.
    static constexpr qint64 kLostMs = 5000;
    static constexpr int kRecheckMs = 250;

    AbonentHealth(QListWidget& list, std::function<qint64()> clock, QObject* parent = nullptr);

    void setJournal(Journal* journal) { this->journal = journal; }
    // Off: lines stay plain and nothing is tracked; lets a benchmark weigh the decoration.
    void setActive(bool active) { this->active = active; }
    // Share of the modem's reports lost on the way, for the tooltip.
    void setLossSource(std::function<double(const OpAbonent&)> source) { lossOf = std::move(source); }

    // One line per list item on every update; `key` is "address:port".
    void heard(QListWidgetItem* item, const QString& key, const OpAbonent& abonent);
    // The item is about to be deleted.
    void forget(const QString& key);
    // The operator chose this modem (empty for none).
    void setCurrent(const QString& key);
    QString current() const { return currentKey; }

    State state(const QString& key) const;
    QString toolTip(const QString& key) const;
    bool isCurrentMarked(const QListWidgetItem* item) const;

public slots:
    // Ages every line: a modem goes quiet without any report telling so.
    void recheck();

signals:
    // Enter on a line: the same as a double-click.
    void chosen(QListWidgetItem* item);
    // The modem that was current when it aged out reports again.
    void lostCurrentReturned(const QString& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Line {
        QListWidgetItem* item = nullptr;
        OpAbonent abonent;
        State shown = Good;
        bool sync = false;
        bool marked = false;
        bool decorated = false;
    };

    State stateOf(const Line& line, qint64 now) const;
    void decorate(Line& line, const QString& key, qint64 now);

    QListWidget& list;
    std::function<qint64()> clock;
    std::function<double(const OpAbonent&)> lossOf;
    Journal* journal = nullptr;
    QHash<QString, Line> lines;
    QString currentKey;
    bool active = true;
    QString lostCurrentKey;
    QTimer recheckTimer;
    QIcon icons[2][3]; // [current][state]
};
