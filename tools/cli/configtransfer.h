#pragma once
// A modem's whole configuration read over the control protocol, and a configuration written
// back to a modem and confirmed by reading it again, part by part.

#include "config_file.h"
#include "modemexchange.h"

#include <QStringList>

struct TransferResult {
    enum Status { Done, Unsupported, Silent, Mismatch } status = Done;
    QString detail; // what failed, one line
};

namespace configtransfer {

// Firmware and band plan are kept as absent when the modem does not report them; the settings
// themselves must all be reported. The secret's bytes are kept only with `includeSecret`.
TransferResult read(ModemExchange& exchange, bool includeSecret, ModemConfiguration& config);

struct RestorePlan {
    ModemDefaults defaults;
    ConverterConfig converters;
    std::optional<SessionSecret> secret;
};

// The requests a plan sends, in order, each as "OPCODE, N bytes".
QStringList describe(const RestorePlan& plan);

// Writes each part and reads it back until it matches; stops at the first part that does not.
// `confirmed` names the parts that now hold the plan's values.
TransferResult restore(ModemExchange& exchange, const RestorePlan& plan, QStringList& confirmed);

// Five reboot (or forget) requests in a row, as the station sends them.
void serviceBurst(ModemExchange& exchange, uint32_t code);

} // namespace configtransfer
