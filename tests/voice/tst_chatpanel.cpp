// The voice panel offscreen, with a loopback socket in the place of the attached modem.

#include "audioworkshop.h"
#include "chat.h"
#include "mainwindow.h"
#include "testkit.h"

#include <QtWidgets>

using namespace testkit;

class ChatPanelTest : public QObject
{
    Q_OBJECT

    chat* panel = nullptr;
    ModemDefaults defaults;
    QTimer boxCloser;
    QStringList boxes; // every message box, closed with OK

    template <typename T = QWidget> T* widget(const char* name) { return panel->findChild<T*>(QLatin1String(name)); }
    QString history() { return widget<QPlainTextEdit>("chat_history_pte")->toPlainText(); }
    static bool isBound(quint16 port) { return !QUdpSocket().bind(QHostAddress(QHostAddress::Any), port); }
    void setModemPort(quint16 port)
    {
        defaults.sockets[0].self_port = port;
        panel->set_abonent(defaults);
    }

private slots:
    void initTestCase()
    {
        connect(&boxCloser, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << QStringLiteral("%1 %2: %3").arg(box->icon()).arg(box->windowTitle(), box->text());
                box->button(QMessageBox::Ok)->click();
            }
        });
        boxCloser.start(20);
    }

    void init()
    {
        panel = new chat;
        defaults.ip_addr = 0x7F000001; // 127.0.0.1
        for (auto& socket : defaults.sockets)
            socket.self_port = freeUdpPort();
        panel->set_abonent(defaults);
    }

    void cleanup()
    {
        delete panel;
        QCOMPARE(std::exchange(boxes, {}), QStringList());
    }

    void zeroSelfPortRefusesWithWarningBox()
    {
        setModemPort(0);
        QTest::ignoreMessage(QtWarningMsg, "Zero self port");
        widget<QCheckBox>("op_voice_start_chb")->click();
        QCOMPARE(boxes.takeFirst(), QStringLiteral("%1 Ошибка!: Не удалось установить порт приема.\nНет соединения с модемом.")
                                        .arg(QMessageBox::Warning));
        QVERIFY(!widget<QCheckBox>("op_voice_start_chb")->isChecked());
        QVERIFY(!widget("op_voice_control_gbx")->isEnabled());
    }

    void choosingAnotherSocketRebinds()
    {
        widget<QCheckBox>("op_voice_start_chb")->click();
        QVERIFY(isBound(defaults.sockets[0].self_port));
        auto* sockets = widget<QComboBox>("op_socket_choice_cb");
        QCOMPARE(sockets->itemText(2), QStringLiteral("socket2"));
        sockets->setCurrentIndex(2);
        QVERIFY(QMetaObject::invokeMethod(sockets, "activated", Q_ARG(int, 2)));
        QVERIFY(!isBound(defaults.sockets[0].self_port));
        QVERIFY(isBound(defaults.sockets[2].self_port));

        QUdpSocket().writeDatagram("\x41" + QString("на втором сокете").toUtf8(), kLoopback, defaults.sockets[2].self_port);
        QTRY_VERIFY(!history().isEmpty());
        QVERIFY2(QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\] Собеседник: на втором сокете$").match(history()).hasMatch(),
                 qPrintable(history()));
    }

    void sentLineGoesToTheModemAtTheSocketPort_data()
    {
        QTest::addColumn<bool>("voiceOn");
        QTest::newRow("send button, voice off") << false;
        QTest::newRow("Enter, voice on") << true;
    }

    void sentLineGoesToTheModemAtTheSocketPort()
    {
        QFETCH(bool, voiceOn);
        const quint16 ownPort = defaults.sockets[0].self_port;
        auto* voice = widget<QCheckBox>("op_voice_start_chb");
        if (voiceOn)
            voice->click();
        // A new record moves the destination but leaves the bound socket alone.
        QUdpSocket modem;
        QVERIFY(modem.bind(kLoopback, 0));
        setModemPort(modem.localPort());

        auto* line = widget<QLineEdit>("chat_send_message_le");
        line->setText(QStringLiteral("как слышно?"));
        if (voiceOn)
            QTest::keyClick(line, Qt::Key_Return);
        else
            widget<QPushButton>("chat_send_message_pb")->click();
        QTRY_VERIFY(modem.hasPendingDatagrams());
        QCOMPARE(modem.receiveDatagram().data(), "\xF9" + QString("как слышно?").toUtf8());
        QVERIFY(line->text().isEmpty());
        QVERIFY(QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\] Я: как слышно\\?$").match(history()).hasMatch());

        if (!voiceOn) { // sending bound a spare port; voice on still binds the socket's own
            setModemPort(ownPort);
            voice->click();
        }
        QVERIFY(isBound(ownPort));
    }

    void cleanUpSwitchesReachTheCaptureAndHoldForTheRun_data()
    {
        QTest::addColumn<QString>("uncheck");
        QTest::addColumn<bool>("noiseSuppression");
        QTest::addColumn<bool>("automaticGain");
        QTest::newRow("both on by default") << QString() << true << true;
        QTest::newRow("noise suppression off") << "chat_noise_suppression_chb" << false << true;
        QTest::newRow("automatic gain off") << "chat_agc_chb" << true << false;
    }

    void cleanUpSwitchesReachTheCaptureAndHoldForTheRun()
    {
        QFETCH(QString, uncheck);
        QFETCH(bool, noiseSuppression);
        QFETCH(bool, automaticGain);
        if (!uncheck.isEmpty())
            widget<QCheckBox>(qPrintable(uncheck))->click();
        // Switching voice off and on again, or another socket, keeps the choice.
        widget<QCheckBox>("op_voice_start_chb")->click();
        widget<QCheckBox>("op_voice_start_chb")->click();
        auto* audio = panel->findChild<audioworkshop*>();
        QCOMPARE(audio->noise_suppression(), noiseSuppression);
        QCOMPARE(audio->automatic_gain(), automaticGain);
    }

    void callFiguresAppearBesideTheSignalBars()
    {
        auto* figures = widget<QLabel>("chat_voice_stats_lbl");
        QVERIFY(widget("op_voice_control_gbx")->isAncestorOf(figures));
        // A peer's flow of 20 ms frames; the panel reports about once a second.
        widget<QCheckBox>("op_voice_start_chb")->click();
        QUdpSocket peer;
        QTimer feed;
        connect(&feed, &QTimer::timeout, this,
                [&] { peer.writeDatagram(voiceDatagram(), kLoopback, defaults.sockets[0].self_port); });
        feed.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(figures->text().contains(QRegularExpression(" (3\\d|4\\d|5\\d) кадр/с$")), 5000);
        QVERIFY2(figures->text().startsWith(QStringLiteral("буфер 0 мс · опозд. 0 · восст. 0 · ")), qPrintable(figures->text()));
    }

    void stationHandsThePanelItsDefaultsRecord()
    {
        QTemporaryDir packetLogs;
        QDir::setCurrent(packetLogs.path());
        MainWindow window;
        window.findChild<QSpinBox*>("pc_port_spb")->setValue(freeUdpPort());
        window.update_REP_DEFAULTS_SET(7, records::encodeDefaults(defaults));
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<chat*>(widget) && widget != panel)
                widget->findChild<QCheckBox*>("op_voice_start_chb")->click();
        QVERIFY(isBound(defaults.sockets[0].self_port));
    }
};

QTEST_MAIN(ChatPanelTest)
#include "tst_chatpanel.moc"
