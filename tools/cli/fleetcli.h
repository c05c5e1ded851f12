#pragma once
// zarnik-cli's subcommands: discover, status, backup, diff, restore and the service commands.
// Exit status 0 done (or equal), 1 failed (or different), 2 bad input or a request the modem refuses.

#include "commandoptions.h"
#include "config_file.h"
#include "modemexchange.h"
#include "targetaddress.h"

#include <QStringList>
#include <QTextStream>
#include <memory>

class FleetCli {
public:
    enum Exit { Ok = 0, Failed = 1, BadInput = 2 };

    FleetCli(QTextStream& out, QTextStream& err);

    // `arguments` without the program name.
    int run(const QStringList& arguments);

    static QString usage();

private:
    int discover(const CommandOptions& o);
    int status(const CommandOptions& o);
    int backup(const CommandOptions& o);
    int diff(const CommandOptions& o);
    int restore(const CommandOptions& o);
    int service(const CommandOptions& o, uint32_t code, const QString& what);
    int setChannel(const CommandOptions& o);
    int setPower(const CommandOptions& o);
    int setAntenna(const CommandOptions& o);
    // Sends a one-byte setting and takes it as done only when the modem's report holds it.
    int setConfirmedByte(const CommandOptions& o, quint16 request, quint16 report, uint8_t value, const QString& what,
                         const QString& done);

    int bad(const QString& line);
    // The one modem of a command, refused when it is a broadcast address without --yes.
    bool target(const CommandOptions& o, const QString& text, TargetAddress& t);
    bool timing(const CommandOptions& o, ModemExchange::Timing& timing, quint16& localPort);
    std::unique_ptr<ModemExchange> open(const CommandOptions& o, const TargetAddress& t);
    // A file, or a live modem when no file has that name.
    int side(const CommandOptions& o, const QString& name, ModemConfiguration& config);

    QTextStream& m_out;
    QTextStream& m_err;
    int m_openFailure = Failed; // why the last open() gave no exchange
};
