#include "linktest.h"
#include "traffic_log.h"

#include <QLoggingCategory>
#include <QtTest>
#include <memory>

// The modem link's traffic lines under the logging rules an operator can set: on by default,
// gone when the category is off, exactly as before when it is on again; other lines stay.
class TestTrafficCategory : public QObject {
    Q_OBJECT

    static inline QStringList lines;
    static inline QtMessageHandler previous = nullptr;
    static void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type != QtDebugMsg)
            return previous ? previous(type, context, message) : void();
        const QString category = QString::fromLatin1(context.category);
        lines << (category == QLatin1String("zarnik.link.traffic") ? "traffic" : category) + ": " + message;
    }

    std::unique_ptr<ReceivePath> client;

    // Every kind of traffic line once, and one line that is no traffic.
    QStringList exercise()
    {
        lines.clear();
        client->send(CMD_GET_REPORT, protocol::payloadFrom(QByteArray::fromHex("0881")), "127.0.0.1", 40005);
        const QHostAddress modem(QStringLiteral("127.0.0.1"));
        client->feed(protocol::buildReport(REP_CONT_STATUS, 7, QByteArray(29, '\x11')), modem, 40005);
        client->feed(QByteArray::fromHex("02ff00000881"), modem, 40005);
        client->feed(QByteArray::fromHex("01ff07000901"), modem, 40005);
        QString missing = QStringLiteral("/nonexistent-folder");
        client->set_logger_path(missing);
        client->logger_enable(true);
        return lines;
    }

private slots:
    void init()
    {
        previous = qInstallMessageHandler(&collect);
        client = std::make_unique<ReceivePath>();
        client->filter(QStringLiteral("127.0.0.1"), 40005);
    }
    void cleanup()
    {
        client.reset();
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    }

    void rulesDecideWhetherTrafficLinesAppear_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<bool>("traffic");
        QTest::newRow("no rules") << "" << true;
        QTest::newRow("category off") << "zarnik.link.traffic.debug=false" << false;
        QTest::newRow("off, then on again") << "zarnik.link.traffic.debug=false\nzarnik.link.traffic.debug=true" << true;
    }
    void rulesDecideWhetherTrafficLinesAppear()
    {
        QFETCH(QString, rules);
        QFETCH(bool, traffic);
        const QStringList trafficLines = {
            "traffic: [OP] <X> Socket not initialized",
            "traffic: \"[IN] <- '127.0.0.1:40005' - ff01:8108, 35 bytes, filter '127.0.0.1'\"",
            "traffic: \"[IN] <- '127.0.0.1:40005' - ff02:8108, 6 bytes, filter '127.0.0.1'\"",
            "traffic: Bag signature",
            "traffic: \"[IN] <- '127.0.0.1:40005' - ff01:0109, 6 bytes, filter '127.0.0.1'\"",
            "traffic: \"[IN] <- Unknown 0109, 7 from 127.0.0.1:40005\"",
        };
        const QStringList other = { "default: can't open log file" };
        QLoggingCategory::setFilterRules(rules);
        QCOMPARE(exercise(), (traffic ? trafficLines : QStringList{}) + other);
        // Back to no rules: the very same lines as before any rule.
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(exercise(), trafficLines + other);
    }
};

QTEST_GUILESS_MAIN(TestTrafficCategory)
#include "tst_traffic_category.moc"
