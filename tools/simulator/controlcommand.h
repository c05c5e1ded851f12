#pragma once
// One line of the simulator's control channel on standard input, parsed.

#include <QString>
#include <optional>

struct ControlCommand {
    enum class Verb {
        Loss, Delay, Duplicate, Reorder, Corrupt, Silence, Resume, Clear,
        Reboot, Disconnect, Stall, ControllerSilence, Attenuation, Bearing, Help, Quit,
    };

    static constexpr int kAllModems = 0;

    Verb verb = Verb::Help;
    int target = kAllModems;  // modem number from 1, or kAllModems
    double value = 0.0;       // probability, attenuation or bearing
    int durationMs = -1;      // delay, or silence length (-1: until told otherwise)
    int jitterMs = 0;
    unsigned corruptions = 0; // Faults::Corruption bits
    bool on = true;
};

namespace controlcommand {

// Empty with `error` set for a line that is not a command.
std::optional<ControlCommand> parse(const QString& line, QString& error);

// The grammar, as --help and the "help" command print it.
QString grammar();

// "250ms", "5s", "2m", or a bare number of milliseconds; -1 when the text is none of these.
int parseDuration(const QString& text);

} // namespace controlcommand
