// The station as an operator meets it: the "Окна" menu and its shortcuts, windows, port and
// attenuator remembered between runs (in a settings file of the test's own), the port field
// that rebinds only when editing ends, and every control reachable on a laptop screen.
#include "screen_fit.h"
#include "station_memory.h"
#include "stationtest.h"
#include "window_geometry_store.h"

#include <QtWidgets>

using namespace stationtest;

namespace {

int packetLogs(const QString& folder = QDir::currentPath())
{
    return QDir(folder).entryList({ "log-*.bin" }, QDir::Files).size();
}

QAction* menuAction(MainWindow* window, const QString& text)
{
    for (QAction* action : window->windowsMenu().menu()->actions()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no menu action %s", qPrintable(text));
}

} // namespace

class TestStationWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<Station> station;
    MainWindow* window = nullptr;

    void showWithFocusOn(QWidget* field = nullptr)
    {
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        if (field) {
            field->setFocus();
            QTRY_VERIFY(field->hasFocus());
        }
    }

private slots:
    void init()
    {
        QVERIFY(scratch.isValid());
        settings = std::make_unique<QSettings>(scratch.filePath("station.ini"), QSettings::IniFormat);
        settings->clear();
        station = std::make_unique<Station>();
        window = station->window.get();
    }

    void cleanup()
    {
        station.reset();
        settings.reset();
    }

    void shortcutOpensItsWindowUnlessTheCodeHidesIt_data()
    {
        QTest::addColumn<QString>("typed"); // into a number field first
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("offered");
        const int f2 = Qt::Key_F2, f3 = Qt::Key_F3;
        QTest::newRow("code typed once hides settings") << "6084" << "Настройки" << f2 << "settings" << false;
        QTest::newRow("code typed twice brings it back") << "60846084" << "Настройки" << f2 << "settings" << true;
        QTest::newRow("code leaves the chat panel") << "6084" << "Голос и чат" << f3 << "chat" << true;
        QTest::newRow("other digits change nothing") << "1234" << "Настройки" << f2 << "settings" << true;
    }

    void shortcutOpensItsWindowUnlessTheCodeHidesIt()
    {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(QString, name);
        QFETCH(bool, offered);
        QCOMPARE(window->menuBar()->actions().first()->text(), QStringLiteral("Окна"));
        QAction* action = menuAction(window, text);
        QCOMPARE(action->shortcut(), QKeySequence(key));
        QWidget* opened = nullptr;
        for (const WindowsMenu::Entry& entry : window->windowsMenu().windows())
            opened = entry.name == name ? entry.window.data() : opened;
        QVERIFY(opened && opened != window && opened->isWindow());
        showWithFocusOn(station->spin("op_seqnum_sb"));
        QTest::keyClicks(station->spin("op_seqnum_sb"), typed);
        QCOMPARE(action->isVisible(), offered);
        QCOMPARE(action->isEnabled(), offered);
        QVERIFY(!opened->isVisible());
        QTest::keyClick(window, Qt::Key(key));
        if (offered)
            QTRY_VERIFY(opened->isVisible());
        QCOMPARE(opened->isVisible(), offered);
        opened->hide();
    }

    void windowPlace_data()
    {
        QTest::addColumn<QByteArray>("saved"); // what the settings hold for the window beforehand
        QTest::addColumn<int>("shown"); // 0: never, 1: hidden by the operator, 2: open when the station ends
        QTest::newRow("never shown, nothing saved") << QByteArray() << 0;
        QTest::newRow("never shown, unreadable bytes") << QByteArray("not a geometry") << 0;
        QTest::newRow("closed during the run") << QByteArray() << 1;
        QTest::newRow("open when the station ends") << QByteArray() << 2;
    }

    // Where a window was comes back next run; a window never shown keeps its designed place.
    void windowPlace()
    {
        QFETCH(QByteArray, saved);
        QFETCH(int, shown);
        if (!saved.isEmpty())
            settings->setValue("windows/panel/geometry", saved);
        const QRect placed(140, 120, 520, 410);
        {
            QWidget panel;
            panel.resize(300, 200);
            WindowGeometryStore store(*settings);
            store.track(&panel, "panel");
            QCOMPARE(panel.size(), QSize(300, 200));
            if (shown) {
                panel.setGeometry(placed);
                panel.show();
                QVERIFY(QTest::qWaitForWindowExposed(&panel));
            }
            shown == 1 ? panel.hide() : store.saveVisible();
        }
        if (!shown)
            QCOMPARE(settings->value("windows/panel/geometry").toByteArray(), saved);
        QWidget nextRun;
        WindowGeometryStore(*settings).track(&nextRun, "panel");
        if (shown)
            QCOMPARE(nextRun.geometry(), placed);
    }

    // On a large screen the scrolling wrapper changes nothing: same size as the plain form.
    void firstRunLooksAsDesigned()
    {
        QCOMPARE(StationMemory(*settings).lastPort(), std::nullopt);
        WindowGeometryStore store(*settings);
        store.track(window, "main");
        screenfit::wrapCentral(window);
        screenfit::fitInto(window, QRect(0, 0, 1920, 1080));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        MainWindow plain;
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QCOMPARE(window->size(), plain.size());
        auto* area = window->findChild<QScrollArea*>("centralScrollArea");
        QVERIFY(!area->verticalScrollBar()->isVisible() && !area->horizontalScrollBar()->isVisible());
    }

    void portAndAttenuatorComeBackNextRun()
    {
        station->spin("pc_port_spb")->setValue(freePort());
        station->widget<QLineEdit>("testing_att_name_le")->setText("/dev/pts/7");
        StationMemory(*settings).save(window);
        const quint16 used = quint16(station->spin("pc_port_spb")->value());
        station.reset();
        StationMemory memory(*settings);
        QCOMPARE(memory.lastPort(), std::optional<quint16>(used));
        Station next;
        memory.restoreAttenuator(next.window.get());
        QCOMPARE(next.widget<QLineEdit>("testing_att_name_le")->text(), QStringLiteral("/dev/pts/7"));
    }

    void unusableSavedPortIsIgnored_data()
    {
        QTest::addColumn<QVariant>("saved");
        QTest::newRow("zero") << QVariant(0);
        QTest::newRow("beyond 65535") << QVariant(70000);
        QTest::newRow("text") << QVariant("forty");
    }
    void unusableSavedPortIsIgnored()
    {
        QFETCH(QVariant, saved);
        settings->setValue("station/port", saved);
        QCOMPARE(StationMemory(*settings).lastPort(), std::nullopt);
    }

    void startPortAndLogFolderApplyFromTheFirstBind()
    {
        QTemporaryDir logs;
        const int before = packetLogs();
        StationStart start;
        start.port = freePort();
        start.logDirectory = logs.path();
        station.reset();
        MainWindow started(start);
        QCOMPARE(started.findChild<QSpinBox*>("pc_port_spb")->value(), int(*start.port));
        QCOMPARE(packetLogs(logs.path()), 1);
        QCOMPARE(packetLogs(), before);
        QUdpSocket taken;
        QVERIFY(!taken.bind(QHostAddress(QHostAddress::AnyIPv4), *start.port, QUdpSocket::DontShareAddress));
    }

    void typingAPortRebindsOnlyWhenEditingEnds()
    {
        QSpinBox* field = station->spin("pc_port_spb");
        const int before = packetLogs();
        const QString typed = QString::number(freePort());
        showWithFocusOn(field);
        field->selectAll();
        QTest::keyClicks(field, typed);
        QCOMPARE(packetLogs(), before);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->value(), typed.toInt());
        QTRY_COMPARE(packetLogs(), before + 1);
    }

    // A 1366x768 laptop with a panel at the top.
    void everyNamedControlReachableOnALaptopScreen()
    {
        const QRect available(0, 27, 1366, 741);
        QScrollArea* area = screenfit::wrapCentral(window);
        screenfit::fitInto(window, available);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(available.contains(window->geometry()));
        int checked = 0;
        for (QWidget* widget : area->widget()->findChildren<QWidget*>(QRegularExpression("^(op_|sm_|pc_)"))) {
            if (!widget->isVisibleTo(window) || widget->inherits("QScrollBar"))
                continue;
            const QPoint at = widget->mapTo(area->widget(), QPoint(0, 0));
            area->ensureVisible(at.x() + widget->width() / 2, at.y() + widget->height() / 2,
                                (widget->width() + 1) / 2, (widget->height() + 1) / 2);
            const QRect shown(widget->mapTo(area->viewport(), QPoint(0, 0)), widget->size());
            const QRect viewport = area->viewport()->rect();
            const bool fits = widget->width() <= viewport.width() && widget->height() <= viewport.height();
            QVERIFY2(fits ? viewport.contains(shown) : viewport.intersects(shown), qPrintable(widget->objectName()));
            ++checked;
        }
        QVERIFY(checked > 40);
    }
};

QTEST_MAIN(TestStationWindows)
#include "tst_station_windows.moc"
