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

QStringList packetLogs(const QString& folder)
{
    return QDir(folder).entryList({ "log-*.bin" }, QDir::Files);
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

private slots:
    void init()
    {
        QVERIFY(scratch.isValid());
        settings = std::make_unique<QSettings>(scratch.filePath("station.ini"), QSettings::IniFormat);
        settings->clear();
        station = std::make_unique<Station>();
    }

    void cleanup()
    {
        station.reset();
        settings.reset();
    }

    void menuShortcutOpensItsWindow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("name");
        QTest::newRow("settings window") << "Настройки" << int(Qt::Key_F2) << "settings";
        QTest::newRow("chat panel") << "Голос и чат" << int(Qt::Key_F3) << "chat";
    }

    void menuShortcutOpensItsWindow()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(QString, name);
        MainWindow* window = station->window.get();
        QCOMPARE(window->menuBar()->actions().first()->text(), QStringLiteral("Окна"));
        QCOMPARE(menuAction(window, text)->shortcut(), QKeySequence(key));

        QWidget* opened = nullptr;
        for (const WindowsMenu::Entry& entry : window->windowsMenu().windows()) {
            if (entry.name == name)
                opened = entry.window;
        }
        QVERIFY(opened && opened != window && opened->isWindow());
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(!opened->isVisible());
        QTest::keyClick(window, Qt::Key(key));
        QTRY_VERIFY(opened->isVisible());
        opened->hide();
    }

    // How a later window joins: its own action, then remembered by name.
    void windowWithItsOwnActionJoinsMenuAndIsRemembered()
    {
        MainWindow* window = station->window.get();
        QWidget later;
        later.setWindowTitle("later");
        QAction open("Позже");
        open.setShortcut(Qt::Key_F12);
        connect(&open, &QAction::triggered, &later, &QWidget::show);
        window->windowsMenu().addWindow("later", &open, &later);
        QVERIFY(window->windowsMenu().menu()->actions().contains(&open));

        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F12);
        QTRY_VERIFY(later.isVisible());

        const QRect placed(200, 150, 480, 360);
        {
            WindowGeometryStore store(*settings);
            for (const WindowsMenu::Entry& entry : window->windowsMenu().windows())
                store.track(entry.window, entry.name);
            later.setGeometry(placed);
            QVERIFY(QTest::qWaitForWindowExposed(&later));
            later.hide();
        }
        QWidget nextRun;
        WindowGeometryStore(*settings).track(&nextRun, "later");
        QCOMPARE(nextRun.geometry(), placed);
    }

    void settingsActionFollowsTheServiceCode_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("offered");
        QTest::newRow("code typed once hides it") << "6084" << false;
        QTest::newRow("code typed twice brings it back") << "60846084" << true;
        QTest::newRow("other digits change nothing") << "1234" << true;
    }

    void settingsActionFollowsTheServiceCode()
    {
        QFETCH(QString, keys);
        QFETCH(bool, offered);
        MainWindow* window = station->window.get();
        QSpinBox* field = station->spin("op_seqnum_sb");
        window->show();
        QApplication::setActiveWindow(window);
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClicks(field, keys);

        QAction* settingsAction = menuAction(window, "Настройки");
        QCOMPARE(settingsAction->isVisible(), offered);
        QCOMPARE(settingsAction->isEnabled(), offered);
        QWidget* settingsWindow = window->findChild<QWidget*>("DefaultsWindow");
        QTest::keyClick(window, Qt::Key_F2);
        QCOMPARE(settingsWindow->isVisible(), offered);
        settingsWindow->hide();
        QVERIFY(menuAction(window, "Голос и чат")->isEnabled());
    }

    void windowPlaceComesBackNextRun_data()
    {
        QTest::addColumn<int>("how"); // 0: hidden by the operator, 1: still open at the end
        QTest::newRow("closed during the run") << 0;
        QTest::newRow("open when the station ends") << 1;
    }

    void windowPlaceComesBackNextRun()
    {
        QFETCH(int, how);
        const QRect placed(140, 120, 520, 410);
        {
            QWidget window;
            WindowGeometryStore store(*settings);
            store.track(&window, "panel");
            window.setGeometry(placed);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            if (how == 0)
                window.hide();
            else
                store.saveVisible();
        }
        QWidget nextRun;
        nextRun.resize(300, 200);
        WindowGeometryStore store(*settings);
        store.track(&nextRun, "panel");
        QCOMPARE(nextRun.geometry(), placed);
    }

    void windowNeverShownKeepsItsDesignedPlace_data()
    {
        QTest::addColumn<QByteArray>("saved"); // what the settings hold for the window
        QTest::newRow("nothing saved") << QByteArray();
        QTest::newRow("unreadable bytes") << QByteArray("not a geometry");
    }

    void windowNeverShownKeepsItsDesignedPlace()
    {
        QFETCH(QByteArray, saved);
        if (!saved.isEmpty())
            settings->setValue("windows/panel/geometry", saved);
        QWidget window;
        window.resize(300, 200);
        {
            WindowGeometryStore store(*settings);
            store.track(&window, "panel");
            QCOMPARE(window.size(), QSize(300, 200));
            store.saveVisible();
        }
        QCOMPARE(settings->value("windows/panel/geometry").toByteArray(), saved);
    }

    void firstRunLooksAsDesigned()
    {
        MainWindow* window = station->window.get();
        StationMemory memory(*settings);
        QCOMPARE(memory.lastPort(), std::nullopt);
        memory.restoreAttenuator(window);
        QCOMPARE(station->widget<QLineEdit>("testing_att_name_le")->text(), QStringLiteral("/dev/ttyACM0"));
        WindowGeometryStore store(*settings);
        for (const WindowsMenu::Entry& entry : window->windowsMenu().windows())
            store.track(entry.window, entry.name);
        store.track(window, "main");
        screenfit::wrapCentral(window);
        screenfit::fitInto(window, QRect(0, 0, 1920, 1080));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->findChild<QWidget*>("DefaultsWindow")->size(), QSize(643, 698));

        // The same form without scrolling, as it opened before: same size, nothing scrolls.
        MainWindow plain;
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QCOMPARE(window->size(), plain.size());
        auto* area = window->findChild<QScrollArea*>("centralScrollArea");
        QVERIFY(!area->verticalScrollBar()->isVisible());
        QVERIFY(!area->horizontalScrollBar()->isVisible());
    }

    void portAndAttenuatorComeBackNextRun()
    {
        station->spin("pc_port_spb")->setValue(freePort());
        station->widget<QLineEdit>("testing_att_name_le")->setText("/dev/pts/7");
        StationMemory(*settings).save(station->window.get());
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
        const QStringList before = packetLogs(QDir::currentPath());
        StationStart start;
        start.port = freePort();
        start.logDirectory = logs.path();
        station.reset();
        MainWindow window(start);
        QCOMPARE(window.findChild<QSpinBox*>("pc_port_spb")->value(), int(*start.port));
        QCOMPARE(packetLogs(logs.path()).size(), 1);
        QCOMPARE(packetLogs(QDir::currentPath()), before);
        QUdpSocket taken;
        QVERIFY(!taken.bind(QHostAddress(QHostAddress::AnyIPv4), *start.port, QUdpSocket::DontShareAddress));
    }

    void typingAPortRebindsOnlyWhenEditingEnds()
    {
        QSpinBox* field = station->spin("pc_port_spb");
        const int before = packetLogs(QDir::currentPath()).size();
        const QString typed = QString::number(freePort());
        station->window->show();
        QApplication::setActiveWindow(station->window.get());
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        field->selectAll();
        QTest::keyClicks(field, typed);
        QCOMPARE(packetLogs(QDir::currentPath()).size(), before);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->value(), typed.toInt());
        QTRY_COMPARE(packetLogs(QDir::currentPath()).size(), before + 1);
    }

    void everyNamedControlReachableOnASmallScreen_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::newRow("1366x768 laptop, panel at the top") << QRect(0, 27, 1366, 741);
        QTest::newRow("1280x720") << QRect(0, 0, 1280, 720);
        QTest::newRow("1024x600 netbook") << QRect(0, 0, 1024, 600);
        QTest::newRow("narrow 640x480") << QRect(0, 0, 640, 480);
    }

    void everyNamedControlReachableOnASmallScreen()
    {
        QFETCH(QRect, available);
        MainWindow* window = station->window.get();
        QScrollArea* area = screenfit::wrapCentral(window);
        screenfit::fitInto(window, available);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY2(available.contains(window->geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(window->x()).arg(window->y()).arg(window->width()).arg(window->height())));

        const QRegularExpression control("^(op_|sm_|pc_)");
        int checked = 0;
        for (QWidget* widget : area->widget()->findChildren<QWidget*>(control)) {
            if (!widget->isVisibleTo(window) || widget->inherits("QScrollBar"))
                continue;
            const QPoint at = widget->mapTo(area->widget(), QPoint(0, 0));
            area->ensureVisible(at.x() + widget->width() / 2, at.y() + widget->height() / 2,
                                (widget->width() + 1) / 2, (widget->height() + 1) / 2);
            const QRect shown(widget->mapTo(area->viewport(), QPoint(0, 0)), widget->size());
            const QRect viewport = area->viewport()->rect();
            const bool fits = widget->width() <= viewport.width() && widget->height() <= viewport.height();
            QVERIFY2(fits ? viewport.contains(shown) : viewport.intersects(shown), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7").arg(widget->objectName()).arg(shown.x()).arg(shown.y()).arg(shown.width()).arg(shown.height()).arg(viewport.width()).arg(viewport.height())));
            ++checked;
        }
        QVERIFY(checked > 40);
        QVERIFY(window->findChild<QSpinBox*>("pc_port_spb"));
    }

private:
    QTemporaryDir scratch;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<Station> station;
};

QTEST_MAIN(TestStationWindows)
#include "tst_station_windows.moc"
