#include "controlcommand.h"

#include "faultylink.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

using Verb = ControlCommand::Verb;

struct VerbEntry {
    const char* word;
    Verb verb;
};

constexpr VerbEntry kVerbs[] = {
    {"loss", Verb::Loss}, {"delay", Verb::Delay}, {"duplicate", Verb::Duplicate},
    {"reorder", Verb::Reorder}, {"corrupt", Verb::Corrupt}, {"silence", Verb::Silence},
    {"resume", Verb::Resume}, {"clear", Verb::Clear}, {"reboot", Verb::Reboot},
    {"disconnect", Verb::Disconnect}, {"stall", Verb::Stall}, {"ctl-silence", Verb::ControllerSilence},
    {"att", Verb::Attenuation}, {"bearing", Verb::Bearing}, {"help", Verb::Help}, {"quit", Verb::Quit},
};

std::optional<int> target(const QString& word)
{
    if (word == QLatin1String("all"))
        return ControlCommand::kAllModems;
    bool ok = false;
    const int number = word.toInt(&ok);
    if (!ok || number < 1)
        return std::nullopt;
    return number;
}

std::optional<double> probability(const QString& word)
{
    bool ok = false;
    const double p = word.toDouble(&ok);
    if (!ok || !(p >= 0.0 && p <= 1.0))
        return std::nullopt;
    return p;
}

std::optional<unsigned> corruptionKinds(const QString& word)
{
    unsigned kinds = 0;
    for (const QString& kind : word.split(QLatin1Char(','))) {
        if (kind == QLatin1String("signature"))
            kinds |= Faults::BadSignature;
        else if (kind == QLatin1String("truncate"))
            kinds |= Faults::Truncation;
        else if (kind == QLatin1String("random"))
            kinds |= Faults::RandomBytes;
        else
            return std::nullopt;
    }
    return kinds;
}

} // namespace

namespace controlcommand {

int parseDuration(const QString& text)
{
    QString number = text.trimmed();
    double scale = 1.0;
    if (number.endsWith(QLatin1String("ms"))) {
        number.chop(2);
    } else if (number.endsWith(QLatin1Char('s'))) {
        number.chop(1);
        scale = 1000.0;
    } else if (number.endsWith(QLatin1Char('m'))) {
        number.chop(1);
        scale = 60000.0;
    }
    bool ok = false;
    const double value = number.toDouble(&ok) * scale;
    if (!ok || !(value >= 0.0) || value > 1e9)
        return -1;
    return int(std::lround(value));
}

std::optional<ControlCommand> parse(const QString& line, QString& error)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        error = QStringLiteral("empty line");
        return std::nullopt;
    }
    ControlCommand command;
    const auto entry = std::find_if(std::begin(kVerbs), std::end(kVerbs),
        [&words](const VerbEntry& v) { return words.first() == QLatin1String(v.word); });
    if (entry == std::end(kVerbs)) {
        error = QStringLiteral("unknown command \"%1\"").arg(words.first());
        return std::nullopt;
    }
    command.verb = entry->verb;

    const auto fail = [&error](const QString& why) {
        error = why;
        return std::nullopt;
    };
    if (command.verb == Verb::Help || command.verb == Verb::Quit) {
        if (words.size() != 1)
            return fail(QStringLiteral("%1 takes nothing more").arg(words.first()));
        return command;
    }
    if (command.verb == Verb::Attenuation) {
        bool ok = false;
        command.value = words.value(1).toDouble(&ok);
        if (words.size() != 2 || !ok || !(command.value >= 0.0 && command.value < 100.0))
            return fail(QStringLiteral("att needs one value from 0 to below 100 dB"));
        return command;
    }

    const std::optional<int> modem = target(words.value(1));
    if (!modem)
        return fail(QStringLiteral("%1 needs a modem number from 1 or \"all\"").arg(words.first()));
    command.target = *modem;
    const QStringList rest = words.mid(2);

    switch (command.verb) {
    case Verb::Loss:
    case Verb::Duplicate:
    case Verb::Reorder:
    case Verb::Corrupt: {
        const std::optional<double> p = probability(rest.value(0));
        const int most = command.verb == Verb::Corrupt ? 2 : 1;
        if (rest.isEmpty() || rest.size() > most || !p)
            return fail(QStringLiteral("%1 needs a probability from 0 to 1").arg(words.first()));
        command.value = *p;
        if (command.verb == Verb::Corrupt)
            command.corruptions = Faults::AnyCorruption;
        if (rest.size() == 2) {
            const std::optional<unsigned> kinds = corruptionKinds(rest.at(1));
            if (!kinds)
                return fail(QStringLiteral("corruption kinds are signature, truncate, random"));
            command.corruptions = *kinds;
        }
        return command;
    }
    case Verb::Delay:
        command.durationMs = parseDuration(rest.value(0));
        command.jitterMs = rest.size() == 2 ? parseDuration(rest.at(1)) : 0;
        if (rest.isEmpty() || rest.size() > 2 || command.durationMs < 0 || command.jitterMs < 0)
            return fail(QStringLiteral("delay needs a duration and may have a jitter"));
        return command;
    case Verb::Silence:
        if (!rest.isEmpty())
            command.durationMs = parseDuration(rest.at(0));
        if (rest.size() > 1 || (rest.size() == 1 && command.durationMs < 0))
            return fail(QStringLiteral("silence takes at most one duration"));
        return command;
    case Verb::Bearing: {
        bool ok = false;
        command.value = rest.value(0).toDouble(&ok);
        command.on = rest.value(0) != QLatin1String("off");
        if (rest.size() != 1 || (command.on && (!ok || !(command.value >= -180.0 && command.value <= 180.0))))
            return fail(QStringLiteral("bearing takes degrees from -180 to 180, or off"));
        return command;
    }
    case Verb::Stall:
    case Verb::ControllerSilence:
        if (rest.size() > 1 || (rest.size() == 1 && rest.at(0) != QLatin1String("on") && rest.at(0) != QLatin1String("off")))
            return fail(QStringLiteral("%1 takes on or off").arg(words.first()));
        command.on = rest.isEmpty() || rest.at(0) == QLatin1String("on");
        return command;
    default:
        if (!rest.isEmpty())
            return fail(QStringLiteral("%1 takes only the modem").arg(words.first()));
        return command;
    }
}

QString grammar()
{
    return QStringLiteral(
        "Control lines on standard input (T is a modem number from 1, or \"all\"; D is a duration\n"
        "such as 500ms, 5s or 2m, a bare number meaning milliseconds):\n"
        "  loss T P              drop each datagram with probability P (0..1)\n"
        "  delay T D [J]         delay datagrams by D, varying by up to J either way\n"
        "  duplicate T P         send a datagram twice with probability P\n"
        "  reorder T P           hold a datagram back behind the next one with probability P\n"
        "  corrupt T P [KINDS]   damage datagrams with probability P; KINDS is a comma list of\n"
        "                        signature, truncate, random (all three when left out)\n"
        "  silence T [D]         send nothing for D, or until \"resume T\"\n"
        "  resume T              end a silence\n"
        "  clear T               remove every fault of T\n"
        "  reboot T              restart as if told to reboot\n"
        "  disconnect T          stop reporting to the station as if told to disconnect\n"
        "  stall T [on|off]      the rotator motor stops moving; its controller still answers\n"
        "  ctl-silence T [on|off] the stepper controller stops answering\n"
        "  att DB                set the simulated attenuation, dB\n"
        "  bearing T DEG|off     the peer of T lies at DEG: its RSSI follows the rotator's angle\n"
        "  help                  print this list\n"
        "  quit                  end the simulator\n"
        "Each line is answered on standard output with \"ok: <line>\" or \"error: <reason>\".\n");
}

} // namespace controlcommand
