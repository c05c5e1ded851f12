#pragma once
// The journal window: the station's events in a table with filters by kind and modem, a search
// field and CSV export; opened by its action (F4).

#include "journal.h"
#include "journal_model.h"

#include <QAction>
#include <QSet>
#include <QWidget>

namespace Ui {
class JournalWindow;
}

class JournalWindow : public QWidget {
    Q_OBJECT

public:
    explicit JournalWindow(Journal& journal, QWidget* parent = nullptr);
    ~JournalWindow() override;

    QAction* openAction() { return &open; }
    JournalModel& model() { return tableModel; }

public slots:
    void showAndRaise();
    void applyFilter();
    // Writes the shown entries; false (with a warning) when the file cannot be written.
    bool exportTo(const QString& path);
    void chooseExportFile();

private:
    void noteEntry(const JournalEntry& entry, int dropped);
    void showCount();

    Ui::JournalWindow* ui;
    Journal& journal;
    JournalModel tableModel;
    QAction open;
    QSet<QString> modems;
    bool followNewest = true;
};
