#include "fleetcli.h"

#include "configtransfer.h"
#include "records.h"
#include "statusreports.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThreadPool>
#include <QVector>

namespace {

const QSet<QString> kCommonValues{"port", "timeout", "attempts"};
const QSet<QString> kCommonSwitches{"yes"};

struct BackupJob {
    TargetAddress target;
    QString path;
    int exit = FleetCli::Ok;
    QString line;
    int requests = 0;
};

void runBackup(BackupJob& job, const ModemExchange::Timing& timing, quint16 localPort, bool includeSecret)
{
    ModemExchange exchange(job.target.address, job.target.port, timing);
    QString error;
    if (!exchange.open(localPort, error)) {
        job.exit = FleetCli::Failed;
        job.line = error;
        return;
    }
    ModemConfiguration config;
    const TransferResult r = configtransfer::read(exchange, includeSecret, config);
    job.requests = exchange.requestsSent();
    if (r.status != TransferResult::Done) {
        job.exit = r.status == TransferResult::Unsupported ? FleetCli::BadInput : FleetCli::Failed;
        job.line = r.detail + QStringLiteral("; no file written");
        return;
    }
    if (!configfile::writeFile(job.path, config, error)) {
        job.exit = FleetCli::Failed;
        job.line = error;
        return;
    }
    job.line = QStringLiteral("%1 -> %2 (%3 requests)").arg(job.target.text(), job.path).arg(job.requests);
}

} // namespace

FleetCli::FleetCli(QTextStream& out, QTextStream& err)
    : m_out(out)
    , m_err(err)
{
}

QString FleetCli::usage()
{
    return QStringLiteral(
        "usage: zarnik-cli COMMAND [options]\n"
        "  discover [--port P] [--time 3s] [--json]      modems whose status reaches port P (40005)\n"
        "  status ADDR[:PORT] [--json]                  the ten reports of the station's polling\n"
        "  backup ADDR... -o FILE|DIR [--include-secret] [--jobs N]\n"
        "  diff A B [--ignore FIELD]...                 A, B: backup file or live modem; exit 1 if they differ\n"
        "  restore FILE ADDR [--dry-run] [--reboot] [--take-address] [--yes]\n"
        "  reboot ADDR | forget ADDR\n"
        "  set-channel ADDR MHZ | set-power ADDR PERCENT | set-antenna ADDR sector|omni\n"
        "common options: --port P (local UDP port, else an ephemeral one), --timeout 10s (per modem),\n"
        "  --attempts 4 (requests per answer), --yes (allow a broadcast address)\n"
        "exit status: 0 done or equal, 1 failed or different, 2 bad input or refused by the modem\n");
}

int FleetCli::bad(const QString& line)
{
    m_err << "zarnik-cli: " << line << '\n';
    m_err.flush();
    return BadInput;
}

int FleetCli::run(const QStringList& arguments)
{
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h")) {
        m_out << usage();
        return arguments.isEmpty() ? BadInput : Ok;
    }
    const QString command = arguments.first();
    QSet<QString> values = kCommonValues;
    QSet<QString> switches = kCommonSwitches;
    if (command == QLatin1String("discover")) {
        values.unite(QSet<QString>{"time"});
        switches.unite(QSet<QString>{"json"});
    } else if (command == QLatin1String("status")) {
        switches.unite(QSet<QString>{"json"});
    } else if (command == QLatin1String("backup")) {
        values.unite(QSet<QString>{"output", "jobs"});
        switches.unite(QSet<QString>{"include-secret"});
    } else if (command == QLatin1String("diff")) {
        values.unite(QSet<QString>{"ignore"});
    } else if (command == QLatin1String("restore")) {
        switches.unite(QSet<QString>{"reboot", "dry-run", "take-address"});
    } else if (!QStringList{"reboot", "forget", "set-channel", "set-power", "set-antenna"}.contains(command)) {
        return bad(QStringLiteral("unknown command \"%1\"; see zarnik-cli --help").arg(command));
    }
    CommandOptions o;
    QString error;
    if (!CommandOptions::parse(arguments.mid(1), values, switches, o, error))
        return bad(error);

    if (command == QLatin1String("discover"))
        return discover(o);
    if (command == QLatin1String("status"))
        return status(o);
    if (command == QLatin1String("backup"))
        return backup(o);
    if (command == QLatin1String("diff"))
        return diff(o);
    if (command == QLatin1String("restore"))
        return restore(o);
    if (command == QLatin1String("reboot"))
        return service(o, protocol::kServiceReboot, QStringLiteral("reboot"));
    if (command == QLatin1String("forget"))
        return service(o, protocol::kServiceDisconnect, QStringLiteral("forget"));
    if (command == QLatin1String("set-channel"))
        return setChannel(o);
    if (command == QLatin1String("set-power"))
        return setPower(o);
    return setAntenna(o);
}

bool FleetCli::target(const CommandOptions& o, const QString& text, TargetAddress& t)
{
    QString error;
    if (!TargetAddress::parse(text, t, error)) {
        bad(error);
        return false;
    }
    if (t.broadcast && !o.has("yes")) {
        bad(QStringLiteral("%1 is a broadcast address that every modem may hear: add --yes to mean it").arg(text));
        return false;
    }
    return true;
}

bool FleetCli::timing(const CommandOptions& o, ModemExchange::Timing& timing, quint16& localPort)
{
    int value = 0;
    if (o.has("timeout")) {
        if (!commandoptions::parseDuration(o.value("timeout"), value) || value == 0) {
            bad(QStringLiteral("bad --timeout \"%1\": expected e.g. 500ms, 10s, 2m").arg(o.value("timeout")));
            return false;
        }
        timing.overallMs = value;
    }
    if (o.has("attempts")) {
        if (!commandoptions::parseNumber(o.value("attempts"), 1, 100, value)) {
            bad(QStringLiteral("bad --attempts \"%1\": expected 1..100").arg(o.value("attempts")));
            return false;
        }
        timing.attempts = value;
    }
    localPort = 0;
    if (o.has("port")) {
        if (!commandoptions::parseNumber(o.value("port"), 1, 65535, value)) {
            bad(QStringLiteral("bad --port \"%1\": expected 1..65535").arg(o.value("port")));
            return false;
        }
        localPort = quint16(value);
    }
    return true;
}

std::unique_ptr<ModemExchange> FleetCli::open(const CommandOptions& o, const TargetAddress& t)
{
    ModemExchange::Timing tm;
    quint16 localPort = 0;
    m_openFailure = BadInput;
    if (!timing(o, tm, localPort))
        return nullptr;
    m_openFailure = Failed;
    auto exchange = std::make_unique<ModemExchange>(t.address, t.port, tm);
    QString error;
    if (!exchange->open(localPort, error)) {
        m_err << "zarnik-cli: " << error << '\n';
        return nullptr;
    }
    return exchange;
}

int FleetCli::status(const CommandOptions& o)
{
    if (o.positional.size() != 1)
        return bad(QStringLiteral("status takes one modem address"));
    TargetAddress t;
    if (!target(o, o.positional.first(), t))
        return BadInput;
    auto exchange = open(o, t);
    if (!exchange)
        return m_openFailure;
    const QList<PolledReport> reports = statusreports::poll(*exchange);

    QStringList silent;
    QStringList unsupported;
    QJsonObject all;
    for (const PolledReport& r : reports) {
        if (r.kind == ModemExchange::Answer::Silent) {
            silent << r.name;
            all.insert(r.name, QStringLiteral("no answer"));
        } else if (r.kind == ModemExchange::Answer::Unsupported) {
            unsupported << r.name;
            all.insert(r.name, QStringLiteral("unsupported"));
        } else {
            all.insert(r.name, r.fields);
        }
        if (o.has("json"))
            continue;
        if (r.kind != ModemExchange::Answer::Report) {
            m_out << r.name << ": " << all.value(r.name).toString() << '\n';
            continue;
        }
        m_out << r.name << ":\n";
        for (const auto& field : configfile::fields(r.fields))
            m_out << "  " << field.first << " = " << field.second << '\n';
    }
    if (o.has("json"))
        m_out << QJsonDocument(all).toJson(QJsonDocument::Indented);
    m_out.flush();
    if (silent.size() == reports.size()) {
        m_err << "zarnik-cli: modem " << t.text() << " does not answer\n";
        return Failed;
    }
    if (!silent.isEmpty()) {
        m_err << "zarnik-cli: modem " << t.text() << " gave no answer to " << silent.join(", ") << '\n';
        return Failed;
    }
    if (!unsupported.isEmpty())
        return bad(QStringLiteral("modem %1 answers REP_UNSUPPORTED for %2").arg(t.text(), unsupported.join(", ")));
    return Ok;
}

int FleetCli::backup(const CommandOptions& o)
{
    if (o.positional.isEmpty())
        return bad(QStringLiteral("backup needs at least one modem address"));
    if (!o.has("output"))
        return bad(QStringLiteral("backup needs -o FILE (or -o DIR for several modems)"));
    int jobs = 1;
    if (o.has("jobs") && !commandoptions::parseNumber(o.value("jobs"), 1, 256, jobs))
        return bad(QStringLiteral("bad --jobs \"%1\": expected 1..256").arg(o.value("jobs")));
    ModemExchange::Timing tm;
    quint16 localPort = 0;
    if (!timing(o, tm, localPort))
        return BadInput;
    if (localPort != 0 && jobs > 1)
        return bad(QStringLiteral("--port cannot be shared by parallel --jobs"));

    QVector<BackupJob> list;
    for (const QString& text : o.positional) {
        BackupJob job;
        if (!target(o, text, job.target))
            return BadInput;
        list.append(job);
    }
    const QString output = o.value("output");
    if (list.size() == 1 && !QFileInfo(output).isDir()) {
        list[0].path = output;
    } else {
        if (!QDir().mkpath(output))
            return bad(QStringLiteral("cannot make the folder %1").arg(output));
        for (BackupJob& job : list)
            job.path = QDir(output).filePath(
                QStringLiteral("%1_%2.json").arg(job.target.address.toString()).arg(job.target.port));
    }

    const bool includeSecret = o.has("include-secret");
    if (jobs == 1) {
        for (BackupJob& job : list)
            runBackup(job, tm, localPort, includeSecret);
    } else {
        QThreadPool pool;
        pool.setMaxThreadCount(jobs);
        for (BackupJob& job : list) {
            BackupJob* j = &job;
            pool.start([j, tm, includeSecret] { runBackup(*j, tm, 0, includeSecret); });
        }
        pool.waitForDone();
    }
    int exit = Ok;
    for (const BackupJob& job : list) {
        (job.exit == Ok ? m_out : m_err) << (job.exit == Ok ? "" : "zarnik-cli: ") << job.line << '\n';
        exit = qMax(exit, job.exit);
    }
    return exit;
}

int FleetCli::side(const CommandOptions& o, const QString& name, ModemConfiguration& config)
{
    QString error;
    if (QFileInfo::exists(name)) {
        if (!configfile::readFile(name, config, error))
            return bad(error);
        return Ok;
    }
    TargetAddress t;
    if (!TargetAddress::parse(name, t, error))
        return bad(QStringLiteral("\"%1\" is neither a file nor a modem address").arg(name));
    if (!target(o, name, t))
        return BadInput;
    auto exchange = open(o, t);
    if (!exchange)
        return m_openFailure;
    const TransferResult r = configtransfer::read(*exchange, true, config);
    if (r.status == TransferResult::Unsupported)
        return bad(r.detail);
    if (r.status != TransferResult::Done) {
        m_err << "zarnik-cli: " << r.detail << '\n';
        return Failed;
    }
    return Ok;
}

int FleetCli::diff(const CommandOptions& o)
{
    if (o.positional.size() != 2)
        return bad(QStringLiteral("diff takes two sides, each a backup file or a modem address"));
    ModemConfiguration left;
    ModemConfiguration right;
    int exit = side(o, o.positional.at(0), left);
    if (exit == Ok)
        exit = side(o, o.positional.at(1), right);
    if (exit != Ok) {
        m_err.flush();
        return exit == Failed ? Failed : BadInput;
    }
    QStringList ignore;
    for (const QString& value : o.values.value("ignore"))
        ignore += value.split(',', Qt::SkipEmptyParts);
    const QList<FieldDifference> differences = configfile::withoutIgnored(configfile::compare(left, right), ignore);
    for (const FieldDifference& d : differences) {
        // The secret's value is never printed.
        if (d.field.endsWith(QLatin1String("secret_base64")))
            m_out << d.field << ": differs\n";
        else
            m_out << d.field << ": " << d.left << " -> " << d.right << '\n';
    }
    return differences.isEmpty() ? Ok : Failed;
}

int FleetCli::restore(const CommandOptions& o)
{
    if (o.positional.size() != 2)
        return bad(QStringLiteral("restore takes a backup file and a modem address"));
    ModemConfiguration file;
    QString error;
    if (!configfile::readFile(o.positional.at(0), file, error))
        return bad(error + QStringLiteral("; nothing sent"));
    TargetAddress t;
    if (!target(o, o.positional.at(1), t))
        return BadInput;
    ModemExchange::Timing tm;
    quint16 localPort = 0;
    if (!timing(o, tm, localPort))
        return BadInput;

    configtransfer::RestorePlan plan;
    plan.defaults = file.defaults;
    plan.converters = file.converters;
    if (file.secret)
        plan.secret = SessionSecret{file.secretSave, *file.secret};
    const bool takeAddress = o.has("take-address");

    if (o.has("dry-run")) {
        m_out << "dry run: nothing is sent. A restore would send to " << t.text() << ":\n";
        for (const QString& line : configtransfer::describe(plan))
            m_out << "  " << line << '\n';
        if (!takeAddress)
            m_out << "  keeping the modem's own ip_addr and control_port as it reports them\n";
        if (!plan.secret)
            m_out << "  the file holds no secret: the modem's secret stays as it is\n";
        for (const auto& field : configfile::fields(configfile::defaultsObject(plan.defaults)))
            m_out << "  defaults." << field.first << " = " << field.second << '\n';
        for (const auto& field : configfile::fields(configfile::convertersArray(plan.converters)))
            m_out << "  converters" << field.first << " = " << field.second << '\n';
        return Ok;
    }

    auto exchange = open(o, t);
    if (!exchange)
        return m_openFailure;
    // The modem's own endpoint stays unless the file's is asked for.
    const ModemExchange::Answer current = exchange->askReport(REP_DEFAULTS_SET, records::kDefaultsSize);
    if (current.kind == ModemExchange::Answer::Unsupported)
        return bad(QStringLiteral("modem %1 answers REP_UNSUPPORTED for REP_DEFAULTS_SET; nothing written").arg(t.text()));
    if (current.kind == ModemExchange::Answer::Silent) {
        m_err << "zarnik-cli: no answer from " << t.text() << "; nothing written\n";
        return Failed;
    }
    const ModemDefaults now = records::decodeDefaults(current.payload);
    const bool moves = now.ip_addr != plan.defaults.ip_addr || now.control_port != plan.defaults.control_port;
    if (!takeAddress) {
        plan.defaults.ip_addr = now.ip_addr;
        plan.defaults.control_port = now.control_port;
    } else if (moves && !o.has("yes")) {
        return bad(QStringLiteral("the restore would move the modem from %1:%2 to %3:%4: add --yes to mean it; nothing written")
                       .arg(QHostAddress(now.ip_addr).toString()).arg(now.control_port)
                       .arg(QHostAddress(plan.defaults.ip_addr).toString()).arg(plan.defaults.control_port));
    }

    QStringList confirmed;
    const TransferResult r = configtransfer::restore(*exchange, plan, confirmed);
    if (r.status != TransferResult::Done) {
        m_err << "zarnik-cli: " << r.detail << '\n';
        m_err << "zarnik-cli: modem " << t.text() << " may now hold a partly written configuration; confirmed: "
              << (confirmed.isEmpty() ? QStringLiteral("nothing") : confirmed.join(", ")) << '\n';
        m_err.flush();
        return r.status == TransferResult::Unsupported ? BadInput : Failed;
    }
    m_out << "restored " << confirmed.join(", ") << " to " << t.text() << "; read-back matches\n";
    if (!takeAddress)
        m_out << "kept the modem's own address " << QHostAddress(now.ip_addr).toString() << ':' << now.control_port << '\n';
    if (!plan.secret)
        m_out << "the file holds no secret: the modem's secret is unchanged\n";
    if (o.has("reboot")) {
        configtransfer::serviceBurst(*exchange, protocol::kServiceReboot);
        m_out << "reboot sent\n";
    }
    return Ok;
}

