// The chat panel inside the station: every defaults report of the modem reaches it.

#include "chat.h"
#include "records.h"
#include "stationtest.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace stationtest;

class ChatInStationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }
    void defaultsReportGivesThePanelItsModem();
};

void ChatInStationTest::defaultsReportGivesThePanelItsModem()
{
    Station station;
    chat* panel = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<chat*>(widget))
            panel = found;
    QVERIFY(panel);

    REP_DEFAULTS_SET_t defaults;
    defaults.ip_addr = 0x7F000001; // 127.0.0.1: the "modem" is this host, so text comes back
    defaults.sockets[0].self_port = freePort();
    QVERIFY(QMetaObject::invokeMethod(station.window.get(), "update_REP_DEFAULTS_SET", Q_ARG(quint16, 7),
                                      Q_ARG(QByteArray, records::encodeDefaults(defaults))));

    panel->findChild<QCheckBox*>("op_voice_start_chb")->click();
    QUdpSocket probe;
    QVERIFY(!probe.bind(QHostAddress(QHostAddress::Any), defaults.sockets[0].self_port));

    panel->findChild<QLineEdit*>("chat_send_message_le")->setText(QStringLiteral("эхо"));
    panel->findChild<QPushButton*>("chat_send_message_pb")->click();
    auto* history = panel->findChild<QPlainTextEdit*>("chat_history_pte");
    QTRY_VERIFY(history->toPlainText().contains(QStringLiteral("Собеседник: эхо")));
    QVERIFY(history->toPlainText().contains(QStringLiteral("Я: эхо")));
}

QTEST_MAIN(ChatInStationTest)
#include "tst_chat_in_station.moc"
