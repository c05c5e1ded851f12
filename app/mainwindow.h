#pragma once
// The station's one window: binds the modem link, polls the chosen modem through ten reports,
// shows its status, drives its radio controls and lists the modems heard on the network.

#include "chat.h"
#include "client.h"
#include "defaultswindow.h"
#include "list_text_batch.h"
#include "linkhistorywindow.h"
#include "opabonent.h"
#include "protocol.h"
#include "records.h"
#include "repaint_throttle.h"
#include "status_display.h"
#include "status_records.h"
#include "station_start.h"
#include "stepping_motor.h"
#include "windows_menu.h"

#include <QButtonGroup>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMainWindow>
#include <QSvgWidget>
#include <QTimer>

class OperatorAwareness;
class QListWidgetItem;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The mode picture: keeps the SVG's proportions inside the cell the layout gives it.
    class ProportionalSvgWidget : public QSvgWidget
    {
    public:
        using QSvgWidget::QSvgWidget;

    protected:
        void resizeEvent(QResizeEvent* event) override;
    };

    explicit MainWindow(QWidget* parent = nullptr);
    explicit MainWindow(const StationStart& start, QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowsMenu& windowsMenu() { return windows; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void icdInitialize();
    void RequestAllReports();
    void initProcStage();
    void send_CMD_GET_REPORT(OPCODE opcode);
    void send_CMD_GET_REPORT_CONT_STATUS();
    int testVersion(int maj, int min);
    void focusChangedProcess(QWidget* old, QWidget* now);

    // Report handlers, one per report of the modem link.
    void update_REP_UNSUPPORTED(quint16 seqnum, const QByteArray& rep);
    void update_REP_TX_FREQUENCY(quint16 seqnum, const QByteArray& rep);
    void update_REP_RX_FREQUENCY(quint16 seqnum, const QByteArray& rep);
    void update_REP_ANTENNA_SEL(quint16 seqnum, const QByteArray& rep);
    void update_REP_DEFAULTS_SET(quint16 seqnum, const QByteArray& rep);
    void update_REP_REBOOT_DEVICE(quint16 seqnum, const QByteArray& rep);
    void update_REP_SET_TX_MODE(quint16 seqnum, const QByteArray& rep);
    void update_REP_VERSION(quint16 seqnum, const QByteArray& rep);
    void update_REP_CONT_STATUS(quint16 seqnum, const QByteArray& rep);
    void update_REP_PARAMETERS(quint16 seqnum, const QByteArray& rep);
    void update_REP_EXTENDED_STATUS(quint16 seqnum, const QByteArray& rep);
    void update_REP_ID_STATISTIC(quint16 seqnum, const QByteArray& rep);
    void update_REP_UART_CONV_CONFIG(quint16 seqnum, const QByteArray& rep);
    void update_REP_SESSION_SECRET(quint16 seqnum, const QByteArray& rep);
    void update_REP_TX_POWER_MODE(quint16 seqnum, const QByteArray& rep);
    void update_REP_SET_HS_CHANNEL_MOD(quint16 seqnum, const QByteArray& rep);

    // Abonent panel.
    void UpdateAbonentsList(QList<OpAbonent> list);
    void DeleteAbonentsList(QList<OpAbonent> list);
    void SetCurrentAbonent(QListWidgetItem* item);
    void SetCurrentAbonent(QString line);
    void find_abonent();
    void forget_abonent();
    void reboot_abonent();
    void ResetWidgets();
    void SetNoAbonent();
    void StatisticReset();
    void send_CMD_DISCONNECT_DEVICE();
    void send_CMD_REBOOT_DEVICE();

    // Records and service commands of the settings window.
    void send_CMD_DEFAULTS_SET(const ModemDefaults& frm);
    void send_CMD_UART_CONV_CONFIG(const ConverterConfig& frm);
    void send_CMD_SESSION_SECRET(const SessionSecret& frm);
    void send_selected_defaults(int idx);
    void send_CMD_DEFAULTS_SET();
    void send_CMD_UART_CONV_CONFIG();
    void send_CMD_SESSION_SECRET();
    void send_default_CMD_SESSION_SECRET();
    void send_CMD_RESET_DEVICE();
    void send_CMD_SETUP_FN_1();
    void send_CMD_SETUP_FN_2();
    void send_CMD_SETUP_FN_3();
    void send_CMD_SETUP_HW_2();
    void send_CMD_SETUP_HW_3();
    void send_testing_rx_next_freq(qulonglong freq);

    // Channels and radio controls.
    void initFrequencyList(QList<uint64_t> list);
    void send_CMD_SET_FREQUENCY(int index);
    void send_CMD_ANTENNA_SEL(int butt_id);
    void send_CMD_ANTENNA_SEL(AntennaSelection frm);
    void send_CMD_SET_TX_MODE();
    void send_CMD_TX_POWER_MODE();
    void send_CMD_SET_HS_CHANNEL_MOD();
    void send_CMD_SWITCH_RETR_MODE_ID();
    void send_CMD_SWITCH_RETR_RECV_MODE_ID();
    void _slot_hs_channel_switch_test(bool start);
    void _slot_timeout_fm_switch_test();

    // Rotator controls.
    void sm_initialize(ushort bind_port = 30000);
    void sm_set_device_addr(QString ip, ushort port);
    void sm_release();
    void sm_set_zero();
    void sm_update_angle();
    void sm_decr_angle();
    void sm_incr_angle();
    void sm_interface_error();
    void sm_interface_reinit();

private:
    // One service code: four digit keys typed in a row while the sequence-number field has focus.
    class KeyCode
    {
    public:
        explicit KeyCode(const char* digits);
        // Feeds one key; true when it completed the code.
        bool feed(int key);

    private:
        const char* digits;
        int state = 0;
    };

    // Running totals of the packet counters since the last reset.
    struct StatSums {
        quint64 received = 0;
        quint64 errors = 0;
        quint64 lost = 0;
        quint64 sent = 0;
    };

    void wireSignals();
    bool placeModePicture();
    void sendToCurrent(OPCODE opcode, const OP_PAYLOAD_t& payload);
    void markCurrentForRemovalLater();
    void advanceStage(quint8 from);
    void showSeqnum(quint16 seqnum);
    void showModePicture(const statusview::Mode& mode);
    void showAntenna(uint8_t antenna);
    void showTxPower(int percent);
    void showChannel(uint64_t frequency);
    void wireRadioControls();
    void connectModulationButtons();
    void disconnectModulationButtons();
    void sendRelayIdentifier(OPCODE opcode);
    void showCounters(uint16_t received, uint16_t errors, uint16_t lost, uint16_t sent);
    void showRunningTotals();
    void abortPolling();

    Ui::MainWindow* ui;
    DefaultsWindow defaults;
    chat chatPanel;
    QTimer initTimer;
    Client client;
    QTimer stageTimer;
    quint8 stage = 0;
    QTimer findTimer;
    QHostAddress findAddress;
    quint16 findPort = 0;
    qint32 findLimit = 0;
    qint32 findCount = 0;
    VersionInfo deviceVersion;
    QList<uint64_t> frequencies;
    bool extStatusSeen = false;
    SteppingMotor rotator;
    QTimer fmTestTimer;
    ProportionalSvgWidget modePicture;
    StatSums statSums;

    QButtonGroup antennaButtons;
    quint16 fmTestState = 0;
    QString shownModePicture;
    KeyCode chatCode;
    KeyCode settingsCode;
    // Items of the abonent list by their key "address:port", so a report touches one item.
    QHash<QString, QListWidgetItem*> abonentItems;
    WindowsMenu windows;
    OperatorAwareness* awareness = nullptr;
    // Reports stream in faster than anyone reads: list and status repaint at most 20 times a second.
    RepaintThrottle abonentListRepaint;
    ListTextBatch abonentTexts{ abonentListRepaint };
    RepaintThrottle statusRepaint;
    LinkHistoryWindow linkQuality{rotator};
};
