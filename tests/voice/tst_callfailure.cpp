// A call that cannot start tells why, and the chat panel shows it in its "Ошибка!" box
// (the test runs with an unreachable sound server, so there are no sound devices).

#include "chat.h"
#include "testkit.h"

#include <QMessageBox>

using namespace testkit;

class CallFailureTest : public QObject
{
    Q_OBJECT

private slots:
    void callThatCannotStartSaysWhy_data()
    {
        QTest::addColumn<bool>("withPeer");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("warning");
        QTest::newRow("no peer address") << false << "не задан адрес" << QByteArray("Serial communication not implemented");
        QTest::newRow("no sound device") << true << "микрофон недоступен" << QByteArray("Audio input initialize error");
    }

    void callThatCannotStartSaysWhy()
    {
        QFETCH(bool, withPeer);
        QFETCH(QString, reason);
        QFETCH(QByteArray, warning);
        if (haveSoundDevices())
            QSKIP("this machine has sound devices");
        Station station;
        QSignalSpy failed(&station.phone, &PhoneControl::call_failed);
        QTest::ignoreMessage(QtWarningMsg, warning.constData());
        station.phone.voice_action(withPeer ? kLoopback : QHostAddress(), 9, 8);
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.at(0).at(0).toString().contains(reason));
        QCOMPARE(station.state(), QStringLiteral("Офлайн"));
    }

    void chatPanelShowsTheReasonAndPassesItOn()
    {
        chat panel;
        QSignalSpy passed(&panel, &chat::call_failed);
        panel.voice_call_failed(QStringLiteral("Вызов не начат: микрофон недоступен"));
        auto* box = panel.findChild<QMessageBox*>(QStringLiteral("voice_call_error_box"));
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Ошибка!"));
        QCOMPARE(box->text(), QStringLiteral("Вызов не начат: микрофон недоступен"));
        QVERIFY(!box->isModal() || box->windowModality() != Qt::ApplicationModal);
        QCOMPARE(passed.count(), 1);
    }
};

QTEST_MAIN(CallFailureTest)
#include "tst_callfailure.moc"
