// The voice panel offscreen, with a loopback socket in the place of the attached modem.

#include "chat.h"
#include "testkit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace testkit;

namespace {

constexpr quint32 kModemAddress = 0x7F000001; // 127.0.0.1

// Answers every modal message box with OK and remembers what the last one said.
class MessageBoxCatcher : public QObject
{
public:
    MessageBoxCatcher()
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            ++count;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        poll.start(20);
    }
    int count = 0;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;

private:
    QTimer poll;
};

QByteArray readOne(QUdpSocket& socket)
{
    QByteArray datagram(int(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(datagram.data(), datagram.size());
    return datagram;
}

} // namespace

class ChatPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void voiceOnBindsTheChosenSocketAndOffReleasesIt();
    void switchOnRefusedShowsWarningBox_data();
    void switchOnRefusedShowsWarningBox();
    void choosingAnotherSocketRebinds();
    void newDefaultsMoveTheDestinationButKeepTheBoundSocket();
    void sentLineIsShownAndCleared_data();
    void sentLineIsShownAndCleared();
    void missingModemAddressShowsErrorBox_data();
    void missingModemAddressShowsErrorBox();
    void incomingCallIsShownOnStatusAndButton();
    void signalBarsFollowTheLevel_data();
    void signalBarsFollowTheLevel();
    void callGoesToTheModemAtTheChosenSocketPort();

private:
    template <typename T> T* widget(const char* name) { return panel->findChild<T*>(QLatin1String(name)); }
    REP_DEFAULTS_SET_t record(quint32 address) const;
    void switchVoice(bool on);
    bool portIsFree(quint16 port) const;
    void sendText(const QString& text, quint16 to);

    chat* panel = nullptr;
    MessageBoxCatcher* boxes = nullptr;
    quint16 ports[5] = {};
};

void ChatPanelTest::init()
{
    boxes = new MessageBoxCatcher;
    panel = new chat;
    for (quint16& port : ports)
        port = freeUdpPort();
    panel->set_abonent(record(kModemAddress));
}

void ChatPanelTest::cleanup()
{
    delete panel;
    panel = nullptr;
    const int unexpectedBoxes = QTest::currentTestFailed() ? 0 : boxes->count;
    delete boxes;
    QCOMPARE(unexpectedBoxes, 0);
}

REP_DEFAULTS_SET_t ChatPanelTest::record(quint32 address) const
{
    REP_DEFAULTS_SET_t defaults;
    defaults.ip_addr = address;
    for (int i = 0; i < 5; ++i)
        defaults.sockets[i].self_port = ports[i];
    return defaults;
}

void ChatPanelTest::switchVoice(bool on)
{
    auto* start = widget<QCheckBox>("op_voice_start_chb");
    QCOMPARE(start->isChecked(), !on);
    start->click();
}

bool ChatPanelTest::portIsFree(quint16 port) const
{
    QUdpSocket probe;
    return probe.bind(QHostAddress(QHostAddress::Any), port);
}

void ChatPanelTest::sendText(const QString& text, quint16 to)
{
    QUdpSocket peer;
    const QByteArray datagram = QByteArray("\x41") + text.toUtf8();
    QCOMPARE(peer.writeDatagram(datagram, kLoopback, to), qint64(datagram.size()));
}

void ChatPanelTest::voiceOnBindsTheChosenSocketAndOffReleasesIt()
{
    const char* controls[] = {"op_voice_control_gbx", "op_socket_choice_lbl", "op_socket_choice_cb",
                              "op_voice_quality_lbl", "op_voice_quality_spb"};
    for (const char* name : controls)
        QVERIFY(!widget<QWidget>(name)->isEnabled());

    switchVoice(true);
    for (const char* name : controls)
        QVERIFY(widget<QWidget>(name)->isEnabled());
    QVERIFY(!portIsFree(ports[0]));

    switchVoice(false);
    for (const char* name : controls)
        QVERIFY(!widget<QWidget>(name)->isEnabled());
    QVERIFY(portIsFree(ports[0]));
}

void ChatPanelTest::switchOnRefusedShowsWarningBox_data()
{
    QTest::addColumn<bool>("zeroPort");
    QTest::newRow("socket without a port") << true;
    QTest::newRow("port taken by another program") << false;
}

void ChatPanelTest::switchOnRefusedShowsWarningBox()
{
    QFETCH(bool, zeroPort);
    QUdpSocket other;
    if (zeroPort) {
        ports[0] = 0;
        panel->set_abonent(record(kModemAddress));
        QTest::ignoreMessage(QtWarningMsg, "Zero self port");
    } else {
        QVERIFY(other.bind(QHostAddress(QHostAddress::Any), ports[0]));
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Failed bind socket to port: %1").arg(ports[0])));
    }

    switchVoice(true);
    QCOMPARE(boxes->count, 1);
    QCOMPARE(boxes->title, QStringLiteral("Ошибка!"));
    QCOMPARE(boxes->text, QStringLiteral("Не удалось установить порт приема.\nНет соединения с модемом."));
    QCOMPARE(boxes->icon, QMessageBox::Warning);
    boxes->count = 0;
    QVERIFY(!widget<QCheckBox>("op_voice_start_chb")->isChecked());
    QVERIFY(!widget<QWidget>("op_voice_control_gbx")->isEnabled());
}

void ChatPanelTest::choosingAnotherSocketRebinds()
{
    switchVoice(true);
    auto* sockets = widget<QComboBox>("op_socket_choice_cb");
    QCOMPARE(sockets->count(), 5);
    QCOMPARE(sockets->itemText(2), QStringLiteral("socket2"));
    sockets->setCurrentIndex(2);
    QVERIFY(QMetaObject::invokeMethod(sockets, "activated", Q_ARG(int, 2)));

    QVERIFY(portIsFree(ports[0]));
    QVERIFY(!portIsFree(ports[2]));
    sendText(QStringLiteral("на втором сокете"), ports[2]);
    auto* history = widget<QPlainTextEdit>("chat_history_pte");
    QTRY_VERIFY(!history->toPlainText().isEmpty());
    QVERIFY2(QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\] Собеседник: на втором сокете$")
                 .match(history->toPlainText())
                 .hasMatch(),
             qPrintable(history->toPlainText()));
}

void ChatPanelTest::newDefaultsMoveTheDestinationButKeepTheBoundSocket()
{
    switchVoice(true);
    QUdpSocket modem;
    QVERIFY(modem.bind(kLoopback, 0));
    const quint16 bound = ports[0];
    ports[0] = modem.localPort();
    panel->set_abonent(record(kModemAddress));

    widget<QLineEdit>("chat_send_message_le")->setText(QStringLiteral("приём"));
    widget<QPushButton>("chat_send_message_pb")->click();
    QTRY_VERIFY(modem.hasPendingDatagrams());
    QCOMPARE(readOne(modem), QByteArray("\xF9") + QString("приём").toUtf8());

    QVERIFY(!portIsFree(bound));
    sendText(QStringLiteral("на старом порту"), bound);
    QTRY_VERIFY(widget<QPlainTextEdit>("chat_history_pte")->toPlainText().endsWith("на старом порту"));
}

void ChatPanelTest::sentLineIsShownAndCleared_data()
{
    QTest::addColumn<bool>("enter");
    QTest::addColumn<bool>("voiceOn");
    QTest::newRow("send button, voice off") << false << false;
    QTest::newRow("Enter, voice on") << true << true;
}

void ChatPanelTest::sentLineIsShownAndCleared()
{
    QFETCH(bool, enter);
    QFETCH(bool, voiceOn);
    if (voiceOn)
        switchVoice(true);
    // Bound or not, the text goes to the modem at the port of the chosen socket.
    QUdpSocket modem;
    QVERIFY(modem.bind(kLoopback, 0));
    ports[0] = modem.localPort();
    panel->set_abonent(record(kModemAddress));

    auto* line = widget<QLineEdit>("chat_send_message_le");
    line->setText(QStringLiteral("как слышно?"));
    if (enter)
        QTest::keyClick(line, Qt::Key_Return);
    else
        widget<QPushButton>("chat_send_message_pb")->click();

    QTRY_VERIFY(modem.hasPendingDatagrams());
    QCOMPARE(readOne(modem).mid(1), QString("как слышно?").toUtf8());
    QVERIFY(line->text().isEmpty());
    QVERIFY(QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\] Я: как слышно\\?$")
                .match(widget<QPlainTextEdit>("chat_history_pte")->toPlainText())
                .hasMatch());
}

void ChatPanelTest::missingModemAddressShowsErrorBox_data()
{
    QTest::addColumn<bool>("call");
    QTest::newRow("call button") << true;
    QTest::newRow("chat send") << false;
}

void ChatPanelTest::missingModemAddressShowsErrorBox()
{
    QFETCH(bool, call);
    panel->set_abonent(record(0));
    switchVoice(true);
    QSignalSpy states(panel->findChild<PhoneControl*>(), &PhoneControl::update_ui);
    auto* line = widget<QLineEdit>("chat_send_message_le");
    line->setText(QStringLiteral("текст"));

    if (call)
        widget<QPushButton>("op_voice_action_pb")->click();
    else
        widget<QPushButton>("chat_send_message_pb")->click();
    QCOMPARE(boxes->count, 1);
    QCOMPARE(boxes->title, QStringLiteral("Ошибка!"));
    QCOMPARE(boxes->text, QStringLiteral("Ошибка установки адреса назначения!"));
    QCOMPARE(boxes->icon, QMessageBox::Critical);
    boxes->count = 0;
    QCOMPARE(states.count(), 0);
    QCOMPARE(line->text(), QStringLiteral("текст"));
    QVERIFY(widget<QPlainTextEdit>("chat_history_pte")->toPlainText().isEmpty());
}

void ChatPanelTest::incomingCallIsShownOnStatusAndButton()
{
    auto* status = widget<QLineEdit>("op_voice_status_le");
    auto* button = widget<QPushButton>("op_voice_action_pb");
    QCOMPARE(status->text(), QStringLiteral("Офлайн"));
    QCOMPARE(button->text(), QStringLiteral("Вызов"));

    switchVoice(true);
    QUdpSocket peer;
    peer.writeDatagram(voiceDatagram(), kLoopback, ports[0]);
    QTRY_COMPARE(status->text(), QStringLiteral("Входящий"));
    QCOMPARE(button->text(), QStringLiteral("Ответ"));
    QCOMPARE(status->palette().color(QPalette::Inactive, QPalette::Base), QColor("#D2753A"));
}

void ChatPanelTest::signalBarsFollowTheLevel_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("green");
    QTest::newRow("nothing received") << 0 << 0;
    QTest::newRow("half") << 2 << 2;
    QTest::newRow("full") << 4 << 4;
    QTest::newRow("more than expected") << 6 << 4;
}

void ChatPanelTest::signalBarsFollowTheLevel()
{
    QFETCH(int, level);
    QFETCH(int, green);
    panel->voice_update_signal(level);
    for (int i = 0; i < 4; ++i) {
        auto* bar = widget<QWidget>(qPrintable(QStringLiteral("op_voice_signal_w_%1").arg(i)));
        QVERIFY(bar->autoFillBackground());
        QCOMPARE(bar->palette().color(QPalette::Disabled, QPalette::Window), i < green ? QColor(Qt::green) : QColor(Qt::red));
    }
}

void ChatPanelTest::callGoesToTheModemAtTheChosenSocketPort()
{
    if (!haveSoundDevices())
        QSKIP("no sound devices");
    QUdpSocket modem;
    QVERIFY(modem.bind(kLoopback, 0));
    switchVoice(true);
    ports[0] = modem.localPort();
    panel->set_abonent(record(kModemAddress)); // the next call goes to the new port
    widget<QSpinBox>("op_voice_quality_spb")->setValue(5);

    widget<QPushButton>("op_voice_action_pb")->click();
    QCOMPARE(widget<QLineEdit>("op_voice_status_le")->text(), QStringLiteral("Исходящий"));
    QTRY_VERIFY_WITH_TIMEOUT(modem.hasPendingDatagrams(), 15000);
    const QByteArray voice = readOne(modem);
    QCOMPARE(quint8(voice.at(0)), quint8(5 << 3));
    QCOMPARE(voice.size(), 1 + 28);

    widget<QPushButton>("op_voice_action_pb")->click();
    QCOMPARE(widget<QLineEdit>("op_voice_status_le")->text(), QStringLiteral("Офлайн"));
}

QTEST_MAIN(ChatPanelTest)
#include "tst_chatpanel.moc"
