#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "control_records.h"
#include "operator_awareness.h"

#include <QApplication>
#include <QDebug>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenuBar>

namespace {

// Service key codes typed into the sequence-number field.
constexpr char kChatPanelCode[] = "2719";
constexpr char kSettingsButtonCode[] = "6084";

// One stage of the initial polling: the report asked for, and the request opcode that a modem
// may name instead in REP_UNSUPPORTED (the report itself where there is no such alias).
struct PollingStage {
    OPCODE report;
    quint16 requestAlias;
};

constexpr PollingStage kPollingStages[] = {
    { REP_VERSION, REP_VERSION },
    { REP_PARAMETERS, REP_PARAMETERS },
    { REP_TX_FREQUENCY, CMD_TX_FREQUENCY },
    { REP_RX_FREQUENCY, CMD_RX_FREQUENCY },
    { REP_ANTENNA_SEL, CMD_ANTENNA_SEL },
    { REP_DEFAULTS_SET, CMD_DEFAULTS_SET },
    { REP_REBOOT_DEVICE, CMD_REBOOT_DEVICE },
    { REP_SET_TX_MODE, CMD_SET_TX_MODE },
    { REP_UART_CONV_CONFIG, CMD_UART_CONV_CONFIG },
    { REP_SESSION_SECRET, CMD_SESSION_SECRET },
};
constexpr quint8 kLastStage = sizeof(kPollingStages) / sizeof(kPollingStages[0]);

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : MainWindow(StationStart(), parent)
{
}

MainWindow::MainWindow(const StationStart& start, QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , defaults(this)
    , rotator(this)
    , chatCode(kChatPanelCode)
    , settingsCode(kSettingsButtonCode)
{
    ui->setupUi(this);
    awareness = new OperatorAwareness(*this, *ui, client, rotator, chatPanel);
    awareness->watch(defaults, linkQuality.sweep());
    abonentListRepaint.setWidget(ui->op_abons_lw);
    abonentTexts.setList(ui->op_abons_lw);
    statusRepaint.setWidget(ui->op_version_gbx);
    ui->op_control_antenna_sel_sec_pb->setCheckable(true);
    ui->op_control_antenna_sel_omni_pb->setCheckable(true);
    antennaButtons.addButton(ui->op_control_antenna_sel_sec_pb, 0);
    antennaButtons.addButton(ui->op_control_antenna_sel_omni_pb, 1);
    defaults.setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint);
    chatPanel.setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint);
    // Closing the main window ends the program, also while the chat panel is open.
    chatPanel.setAttribute(Qt::WA_QuitOnClose, false);
    windows.attach(this);
    windows.addWindow(QStringLiteral("settings"), QStringLiteral("Настройки"), Qt::Key_F2, &defaults,
                      ui->op_control_settings_pb);
    windows.addWindow(QStringLiteral("chat"), QStringLiteral("Голос и чат"), Qt::Key_F3, &chatPanel);
    windows.addWindow(QStringLiteral("journal"), awareness->journalWindow().openAction(), &awareness->journalWindow());
    windows.addWindow(QStringLiteral("history"), linkQuality.openAction(), &linkQuality);
    if (start.port)
        ui->pc_port_spb->setValue(*start.port);
    QString logDirectory = start.logDirectory;
    if (!logDirectory.isEmpty())
        client.set_logger_path(logDirectory);

    initTimer.setInterval(100);
    initTimer.setSingleShot(true);
    connect(&initTimer, &QTimer::timeout, this, &MainWindow::icdInitialize);
    stageTimer.setInterval(100);
    connect(&stageTimer, &QTimer::timeout, this, &MainWindow::initProcStage);

    ResetWidgets();
    icdInitialize();

    ui->op_control_settings_pb->setVisible(true);
    ui->op_control_settings_pb->setEnabled(true);
    ui->op_retranslation_lbl->hide();
    ui->op_control_retranslation_id_le->hide();
    ui->op_control_retranslation_mode_pb->hide();
    ui->op_control_receive_mode_pb->hide();
    ui->op_stage_prb->setRange(0, kLastStage + 1);
    ui->op_stage_prb->setValue(0);
    ui->op_stage_prb->hide();
    ui->op_control_hs_channel_mod_switch_test_pb->hide();

    if (!placeModePicture())
        return;
    wireSignals();
}

MainWindow::~MainWindow()
{
    // Focus moves while the children go; the form must not be reached after it is deleted.
    disconnect(qApp, &QApplication::focusChanged, this, &MainWindow::focusChangedProcess);
    client.logger_enable(false);
    delete ui;
}

bool MainWindow::placeModePicture()
{
    modePicture.setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    modePicture.load(QStringLiteral(":/images/modes/empty.svg"));

    QWidget* placeholder = ui->svg_status_pic;
    QLayout* layout = placeholder->parentWidget()->layout();
    if (!layout) {
        qWarning("Parent widget does not have a layout!");
        return false;
    }
    auto* grid = qobject_cast<QGridLayout*>(layout);
    if (!grid) {
        qWarning("Layout is not a QGridLayout!");
        return true;
    }
    int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
    grid->getItemPosition(grid->indexOf(placeholder), &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(placeholder);
    grid->addWidget(&modePicture, row, column, rowSpan, columnSpan);
    placeholder->deleteLater();
    return true;
}

void MainWindow::wireSignals()
{
    connect(qApp, &QApplication::focusChanged, this, &MainWindow::focusChangedProcess);
    connect(ui->pc_port_spb, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &MainWindow::icdInitialize);
    connect(ui->op_abons_lw, &QListWidget::itemDoubleClicked, this,
            QOverload<QListWidgetItem*>::of(&MainWindow::SetCurrentAbonent));
    connect(&client, &Client::signal_UpdatedAbonents, this, &MainWindow::UpdateAbonentsList);
    connect(&client, &Client::signal_DeletedAbonents, this, &MainWindow::DeleteAbonentsList);
    linkQuality.follow(client);
    connect(ui->op_cont_errors_rst_pb, &QPushButton::clicked, this, &MainWindow::StatisticReset);

    for (auto streamed : { &Client::signal_REP_CONT_STATUS, &Client::signal_REP_EXTENDED_STATUS,
                           &Client::signal_REP_ID_STATISTIC })
        connect(&client, streamed, &statusRepaint, &RepaintThrottle::hold);
    connect(&client, &Client::signal_REP_UNSUPPORTED, this, &MainWindow::update_REP_UNSUPPORTED);
    connect(&client, &Client::signal_REP_TX_FREQUENCY, this, &MainWindow::update_REP_TX_FREQUENCY);
    connect(&client, &Client::signal_REP_RX_FREQUENCY, this, &MainWindow::update_REP_RX_FREQUENCY);
    connect(&client, &Client::signal_REP_ANTENNA_SEL, this, &MainWindow::update_REP_ANTENNA_SEL);
    connect(&client, &Client::signal_REP_DEFAULTS_SET, this, &MainWindow::update_REP_DEFAULTS_SET);
    connect(&client, &Client::signal_REP_REBOOT_DEVICE, this,
            &MainWindow::update_REP_REBOOT_DEVICE);
    connect(&client, &Client::signal_REP_SET_TX_MODE, this, &MainWindow::update_REP_SET_TX_MODE);
    connect(&client, &Client::signal_REP_VERSION, this, &MainWindow::update_REP_VERSION);
    connect(&client, &Client::signal_REP_CONT_STATUS, this, &MainWindow::update_REP_CONT_STATUS);
    connect(&client, &Client::signal_REP_PARAMETERS, this, &MainWindow::update_REP_PARAMETERS);
    connect(&client, &Client::signal_REP_EXTENDED_STATUS, this,
            &MainWindow::update_REP_EXTENDED_STATUS);
    connect(&client, &Client::signal_REP_ID_STATISTIC, this, &MainWindow::update_REP_ID_STATISTIC);
    connect(&client, &Client::signal_REP_UART_CONV_CONFIG, this,
            &MainWindow::update_REP_UART_CONV_CONFIG);
    connect(&client, &Client::signal_REP_SESSION_SECRET, this,
            &MainWindow::update_REP_SESSION_SECRET);
    connect(&client, &Client::signal_REP_TX_POWER_MODE, this,
            &MainWindow::update_REP_TX_POWER_MODE);
    connect(&client, &Client::signal_REP_SET_HS_CHANNEL_MOD, this,
            &MainWindow::update_REP_SET_HS_CHANNEL_MOD);

    wireRadioControls();

    connect(ui->op_control_find_pb, &QPushButton::clicked, this, &MainWindow::find_abonent);
    connect(&findTimer, &QTimer::timeout, this, &MainWindow::find_abonent);
    connect(ui->op_control_disconnect_pb, &QPushButton::clicked, this, &MainWindow::forget_abonent);
    connect(ui->op_control_settings_pb, &QPushButton::clicked, &defaults, &QWidget::show);
    connect(ui->op_control_settings_pb, &QPushButton::clicked, &defaults, &QWidget::raise);
    connect(ui->op_control_reboot_pb, &QPushButton::clicked, this, &MainWindow::reboot_abonent);

    connect(&defaults, &DefaultsWindow::signal_selected_settings, this,
            &MainWindow::send_selected_defaults);
    connect(&defaults, &DefaultsWindow::signal_testing_rx_next_freq, this,
            &MainWindow::send_testing_rx_next_freq);
    connect(&defaults, &DefaultsWindow::signal_CMD_DEFAULTS_SET, this,
            QOverload<const ModemDefaults&>::of(&MainWindow::send_CMD_DEFAULTS_SET));
    connect(&defaults, &DefaultsWindow::signal_CMD_UART_CONV_CONFIG, this,
            QOverload<const ConverterConfig&>::of(&MainWindow::send_CMD_UART_CONV_CONFIG));
    connect(&defaults, &DefaultsWindow::signal_CMD_SESSION_SECRET, this,
            QOverload<const SessionSecret&>::of(&MainWindow::send_CMD_SESSION_SECRET));
    connect(&defaults, &DefaultsWindow::signal_reboot, this, &MainWindow::reboot_abonent);

    sm_initialize();
    connect(ui->sm_zero_position_pbt, &QPushButton::clicked, this, &MainWindow::sm_set_zero);
}

void MainWindow::icdInitialize()
{
    const auto port = static_cast<quint16>(ui->pc_port_spb->value());
    client.cleanup();
    if (!client.initialize(QHostAddress(QHostAddress::AnyIPv4), port)) {
        ui->pc_port_spb->setStyleSheet(QStringLiteral("background-color: red;"));
        initTimer.start();
        return;
    }
    initTimer.stop();
    ui->pc_port_spb->setStyleSheet(QString());
    awareness->showPortState();
    client.logger_enable(true);
}

void MainWindow::sendToCurrent(OPCODE opcode, const OP_PAYLOAD_t& payload)
{
    client.send(opcode, payload, ui->op_current_abon_ip_le->text(),
                static_cast<quint16>(ui->op_current_abon_port_spb->value()));
}

void MainWindow::send_CMD_GET_REPORT(OPCODE opcode)
{
    sendToCurrent(CMD_GET_REPORT, requests::getReport(opcode));
}

void MainWindow::send_CMD_GET_REPORT_CONT_STATUS()
{
    send_CMD_GET_REPORT(REP_CONT_STATUS);
}

int MainWindow::testVersion(int maj, int min)
{
    const int major = deviceVersion.major;
    const int minor = deviceVersion.minor;
    if (major != maj)
        return major > maj ? 1 : -1;
    if (minor != min)
        return minor > min ? 1 : -1;
    return 0;
}

void MainWindow::RequestAllReports()
{
    if (stage != 0)
        return;
    defaults.setEnabled(false);
    ui->op_control_hs_channel_mod_w->setEnabled(false);
    ui->op_control_hs_channel_mod_fm2_pb->setChecked(false);
    ui->op_control_hs_channel_mod_fm4_pb->setChecked(false);
    ui->op_stage_prb->show();
    stage = 1;
    stageTimer.start();
}

void MainWindow::initProcStage()
{
    if (stage == 0 || stage > kLastStage) {
        stageTimer.stop();
        return;
    }
    send_CMD_GET_REPORT(kPollingStages[stage - 1].report);
}

void MainWindow::advanceStage(quint8 from)
{
    if (stage != from)
        return;
    stage = from == kLastStage ? 0 : from + 1;
    ui->op_stage_prb->setValue(stage);
    if (stage == 0)
        ui->op_stage_prb->hide();
}

void MainWindow::abortPolling()
{
    if (stage == 0)
        return;
    stage = 0;
    ui->op_stage_prb->setValue(0);
    ui->op_stage_prb->hide();
}

void MainWindow::showSeqnum(quint16 seqnum)
{
    ui->op_seqnum_sb->setValue(seqnum);
}

void MainWindow::update_REP_UNSUPPORTED(quint16 seqnum, const QByteArray& rep)
{
    const quint16 opcode = reports::unsupportedOpcode(rep);
    for (quint8 s = 1; s <= kLastStage; ++s) {
        const PollingStage& step = kPollingStages[s - 1];
        if (opcode == step.report || opcode == step.requestAlias) {
            advanceStage(s);
            break;
        }
    }
    ui->op_stage_prb->setValue(stage);
    if (stage == 0)
        ui->op_stage_prb->hide();
    showSeqnum(seqnum);
    if (opcode == REP_PARAMETERS)
        initFrequencyList({});
}

void MainWindow::update_REP_REBOOT_DEVICE(quint16 seqnum, const QByteArray&)
{
    advanceStage(7);
    showSeqnum(seqnum);
}

void MainWindow::focusChangedProcess(QWidget*, QWidget* now)
{
    if (now && now == ui->op_seqnum_sb->focusWidget())
        ui->op_seqnum_sb->installEventFilter(this);
    else
        ui->op_seqnum_sb->removeEventFilter(this);
}

MainWindow::KeyCode::KeyCode(const char* digits)
    : digits(digits)
{
}

bool MainWindow::KeyCode::feed(int key)
{
    if (key != digits[state]) {
        state = 0;
        return false;
    }
    if (++state < 4)
        return false;
    state = 0;
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (chatCode.feed(key)) {
            chatPanel.show();
            chatPanel.raise();
        }
        if (settingsCode.feed(key)) {
            QPushButton* button = ui->op_control_settings_pb;
            button->setHidden(!button->isHidden());
            button->setEnabled(!button->isEnabled());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
