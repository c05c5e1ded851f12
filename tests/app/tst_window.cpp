// The window itself: start states, the service key codes, the proportional mode picture and
// the service requests that the settings window triggers.
#include "stationtest.h"

#include <QApplication>
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryFile>

using namespace stationtest;

namespace {

QString svgOfSize(int width, int height)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\">"
                          "<rect width=\"%1\" height=\"%2\" fill=\"red\"/></svg>")
        .arg(width)
        .arg(height);
}

QWidget* chatPanel()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("chat"))
            return widget;
    }
    return nullptr;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }

    void init() { station = std::make_unique<Station>(); }

    void cleanup() { station.reset(); }

    void startsIdleWithHiddenExtras()
    {
        QCOMPARE(station->window->windowTitle(), QStringLiteral("ЗАРНИК"));
        QCOMPARE(station->window->size(), QSize(771, 1019));
        QVERIFY(!station->window->windowIcon().isNull());
        auto* bar = station->widget<QProgressBar>("op_stage_prb");
        QVERIFY(bar->isHidden());
        QCOMPARE(bar->maximum(), 11);
        for (const char* name : { "op_retranslation_lbl", "op_control_retranslation_id_le",
                                  "op_control_retranslation_mode_pb", "op_control_receive_mode_pb",
                                  "op_control_hs_channel_mod_switch_test_pb" })
            QVERIFY2(station->widget(name)->isHidden(), name);
        QVERIFY(!station->widget<QPushButton>("op_control_settings_pb")->isHidden());
        QTRY_VERIFY(!station->window->findChild<QWidget*>(QStringLiteral("svg_status_pic")));
    }

    void settingsCodeTwiceRestoresButton()
    {
        auto* button = station->widget<QPushButton>("op_control_settings_pb");
        focusSequenceField();
        QTest::keyClicks(station->spin("op_seqnum_sb"), QStringLiteral("6084"));
        QVERIFY(button->isHidden());
        QVERIFY(!button->isEnabled());
        QTest::keyClicks(station->spin("op_seqnum_sb"), QStringLiteral("6084"));
        QVERIFY(!button->isHidden());
        QVERIFY(button->isEnabled());
    }

    void wrongDigitRestartsWithoutCountingAsFirst()
    {
        auto* button = station->widget<QPushButton>("op_control_settings_pb");
        focusSequenceField();
        // "60" then a wrong "6": the 6 is not taken as a new start, so "084" completes nothing.
        QTest::keyClicks(station->spin("op_seqnum_sb"), QStringLiteral("606084"));
        QVERIFY(!button->isHidden());
        QTest::keyClicks(station->spin("op_seqnum_sb"), QStringLiteral("6084"));
        QVERIFY(button->isHidden());
    }

    void chatCodeOpensChatPanel()
    {
        QWidget* chat = chatPanel();
        QVERIFY(chat);
        focusSequenceField();
        QTest::keyClicks(station->spin("op_seqnum_sb"), QStringLiteral("271"));
        QVERIFY(!chat->isVisible());
        QTest::keyClicks(station->spin("op_seqnum_sb"), QStringLiteral("9"));
        QVERIFY(chat->isVisible());
    }

    void codesAreIgnoredOutsideSequenceField()
    {
        auto* button = station->widget<QPushButton>("op_control_settings_pb");
        focusSequenceField();
        station->window->focusChangedProcess(station->spin("op_seqnum_sb"),
                                             station->spin("pc_port_spb"));
        QTest::keyClicks(station->spin("op_seqnum_sb"), QStringLiteral("6084"));
        QVERIFY(!button->isHidden());
    }

    void pictureKeepsProportions_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("cell");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("wide picture, fills width") << QSize(200, 100) << QSize(400, 300) << QSize(400, 200);
        QTest::newRow("tall picture, fills height") << QSize(100, 300) << QSize(300, 300) << QSize(100, 300);
        QTest::newRow("smaller cell scales down") << QSize(720, 250) << QSize(360, 400) << QSize(360, 125);
    }

    void pictureKeepsProportions()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, cell);
        QFETCH(QSize, shown);
        MainWindow::ProportionalSvgWidget widget;
        widget.load(svgOfSize(picture.width(), picture.height()).toUtf8());
        widget.show();
        widget.resize(cell);
        QCOMPARE(widget.size(), shown);
    }

    void pictureWithoutSizeKeepsCell()
    {
        MainWindow::ProportionalSvgWidget widget;
        widget.show();
        widget.resize(333, 222);
        QCOMPARE(widget.size(), QSize(333, 222));
    }

    void serviceRequestsReachCurrentAbonent_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("setup fn 1") << "send_CMD_SETUP_FN_1" << hex("01ff00000501010000ff");
        QTest::newRow("setup fn 2") << "send_CMD_SETUP_FN_2" << hex("01ff00000501020000ff");
        QTest::newRow("setup fn 3") << "send_CMD_SETUP_FN_3" << hex("01ff00000501030000ff");
        QTest::newRow("setup hw 2") << "send_CMD_SETUP_HW_2" << hex("01ff00000501 000200ff");
        QTest::newRow("setup hw 3") << "send_CMD_SETUP_HW_3" << hex("01ff00000501 000300ff");
        QTest::newRow("hard reset names the modem") << "send_CMD_RESET_DEVICE"
                                                    << hex("01ff00000501 7f 00 00 19");
    }

    void serviceRequestsReachCurrentAbonent()
    {
        QFETCH(QString, slot);
        QFETCH(QByteArray, frame);
        ScriptedModem modem(QStringLiteral("127.0.0.25"));
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem.address);
        station->spin("op_current_abon_port_spb")->setValue(modem.port());
        QVERIFY(QMetaObject::invokeMethod(station->window.get(), qPrintable(slot)));
        QTRY_COMPARE(modem.frames().size(), 1);
        QCOMPARE(modem.frames().at(0), frame);
    }

    void defaultSecretIsOneShortFrame()
    {
        ScriptedModem modem(QStringLiteral("127.0.0.25"));
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem.address);
        station->spin("op_current_abon_port_spb")->setValue(modem.port());
        station->window->send_default_CMD_SESSION_SECRET();
        QTRY_COMPARE(modem.frames().size(), 1);
        const QByteArray frame = modem.frames().at(0);
        QCOMPARE(frame.size(), 25);
        QVERIFY(frame.startsWith(hex("01ff00000d011180")));
        QCOMPARE(frame.at(24), '\0');
    }

    void settingsTabWithoutRecordSendsNothing_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("general") << 0;
        QTest::newRow("testing") << 4;
    }

    void settingsTabWithoutRecordSendsNothing()
    {
        QFETCH(int, tab);
        ScriptedModem modem(QStringLiteral("127.0.0.25"));
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem.address);
        station->spin("op_current_abon_port_spb")->setValue(modem.port());
        station->window->send_selected_defaults(tab);
        station->window->send_selected_defaults(2);
        QTRY_COMPARE(modem.frames().size(), 1);
        QCOMPARE(protocol::parseHeader(modem.frames().at(0)).opcode, quint16(CMD_UART_CONV_CONFIG));
    }

private:
    void focusSequenceField()
    {
        station->window->show();
        QApplication::setActiveWindow(station->window.get());
        QSpinBox* field = station->spin("op_seqnum_sb");
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
    }

    std::unique_ptr<Station> station;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
