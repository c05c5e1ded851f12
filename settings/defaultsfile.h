#pragma once
// The settings window's file buttons: the form's defaults, converters and secret length saved as a
// configuration file, and such a file loaded into the form, which sends nothing by itself.

#include "config_file.h"

#include <QObject>
#include <QString>
#include <functional>

class DefaultsWindow;
class QCheckBox;
class QLabel;
class QPushButton;

class DefaultsFile : public QObject {
    Q_OBJECT

public:
    // Picks the file to save to (true) or load from (false); empty when the operator cancels.
    using Chooser = std::function<QString(bool save)>;

    DefaultsFile(DefaultsWindow& window, QPushButton* saveButton, QPushButton* loadButton, QLabel* status,
                 QCheckBox* secretSave);

    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

public slots:
    bool saveTo(const QString& path);
    bool loadFrom(const QString& path);

private slots:
    void save();
    void load();

private:
    ModemConfiguration fromForm();
    void show(const QString& text, const QString& detail, bool failed);

    DefaultsWindow& m_window;
    QLabel* m_status;
    QCheckBox* m_secretSave;
    Chooser m_chooser;
};
