#pragma once
// Everything that makes trouble visible to the operator, wired beside the main window: the journal
// and its window, the health of the abonent list, the port-sharing mark, the wheel guard and the return offer.

#include "abonent_health.h"
#include "journal.h"
#include "journalwindow.h"
#include "return_offer.h"
#include "rotator_state.h"
#include "wheel_guard.h"

#include <QObject>

class AlignmentSweep;
class Client;
class DefaultsWindow;
class MainWindow;
class SteppingMotor;
class chat;
class QListWidgetItem;
class QSpinBox;

namespace Ui {
class MainWindow;
class SteppingMotor;
class chat;
}

class OperatorAwareness : public QObject {
    Q_OBJECT

public:
    OperatorAwareness(MainWindow& window, Ui::MainWindow& ui, Client& client, SteppingMotor& rotator, chat& chatPanel);

    Journal& journal() { return stationJournal; }
    JournalWindow& journalWindow() { return journalView; }
    AbonentHealth& health() { return abonentHealth; }
    RotatorState& rotator() { return rotatorState; }
    Client& client() { return link; }

    // Test results, attenuator failures and the antenna sweep's outcome go to the journal too.
    void watch(DefaultsWindow& settings, AlignmentSweep& sweep);

    // The operator chose this modem ("address:port").
    void currentChosen(const QString& key);
    // After every bind of the control port: yellow while another program receives on it too.
    void showPortState();

private:
    void journalUnsupported(quint16 seqnum, const QByteArray& rep);
    void chooseReturned(const QString& key);
    QString currentModem() const;

    MainWindow& mainWindow;
    Ui::MainWindow& ui;
    Client& link;
    Journal stationJournal;
    JournalWindow journalView;
    AbonentHealth abonentHealth;
    WheelGuard wheelGuard;
    ReturnOffer returnOffer;
    RotatorState rotatorState;
};
