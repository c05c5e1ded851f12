#include "simnetwork.h"

#include "controlcommand.h"
#include "simclock.h"
#include "simmodem.h"

namespace {

constexpr int kMaxTickMs = 10;

} // namespace

SimNetwork::SimNetwork(const SimConfig& config, QObject* parent)
    : QObject(parent)
    , m_config(config)
{
    m_radio.curves = m_config.curves;
    connect(&m_ticker, &QTimer::timeout, this, &SimNetwork::tick);
    m_modems.reserve(m_config.modems);
    for (int number = 1; number <= m_config.modems; ++number) {
        auto* modem = new SimModem(number, m_config, m_radio, this);
        connect(modem, &SimModem::event, this, &SimNetwork::event);
        m_modems.append(modem);
    }
}

bool SimNetwork::start(QString& error)
{
    for (SimModem* modem : qAsConst(m_modems)) {
        if (!modem->start(error))
            return false;
    }
    // One clock for all modems: a timer per modem would cost a wake-up per report, and coarse
    // ones would gather a thousand reports into a few bursts that overflow the station's socket.
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.start(qBound(1, m_config.periodMs / 20, kMaxTickMs));
    return true;
}

void SimNetwork::setCapture(PcapWriter* capture)
{
    for (SimModem* modem : qAsConst(m_modems))
        modem->setCapture(capture);
}

void SimNetwork::tick()
{
    const qint64 now = simclock::nowMs();
    for (SimModem* modem : qAsConst(m_modems))
        modem->tick(now);
}

void SimNetwork::setAttenuation(double db)
{
    m_radio.attenuationDb = db;
    emit event(QStringLiteral("attenuation %1 dB").arg(db));
}

QString SimNetwork::execute(const QString& line)
{
    QString error;
    const std::optional<ControlCommand> command = controlcommand::parse(line, error);
    if (!command)
        return QStringLiteral("error: ") + error;
    if (command->target > count())
        return QStringLiteral("error: there is no modem %1, the network has %2").arg(command->target).arg(count());
    return apply(*command) + QStringLiteral("ok: ") + line.simplified();
}

QString SimNetwork::apply(const ControlCommand& command)
{
    using Verb = ControlCommand::Verb;
    switch (command.verb) {
    case Verb::Help:
        return controlcommand::grammar();
    case Verb::Quit:
        emit quitRequested();
        return {};
    case Verb::Attenuation:
        setAttenuation(command.value);
        return {};
    default:
        break;
    }

    const qint64 now = simclock::nowMs();
    const int first = command.target == ControlCommand::kAllModems ? 1 : command.target;
    const int last = command.target == ControlCommand::kAllModems ? count() : command.target;
    for (int number = first; number <= last; ++number) {
        SimModem* modem = m_modems.at(number - 1);
        Faults faults = modem->link().faults();
        switch (command.verb) {
        case Verb::Loss: faults.loss = command.value; break;
        case Verb::Delay:
            faults.delayMs = command.durationMs;
            faults.jitterMs = command.jitterMs;
            break;
        case Verb::Duplicate: faults.duplicate = command.value; break;
        case Verb::Reorder: faults.reorder = command.value; break;
        case Verb::Corrupt:
            faults.corrupt = command.value;
            faults.corruptions = command.corruptions;
            break;
        case Verb::Silence:
            faults.silentUntilMs = command.durationMs < 0 ? Faults::kSilentForever : now + command.durationMs;
            break;
        case Verb::Resume: faults.silentUntilMs = 0; break;
        case Verb::Clear: faults = Faults(); break;
        case Verb::Reboot: modem->reboot(); break;
        case Verb::Disconnect: modem->disconnectStation(); break;
        case Verb::Stall: modem->stepper().setStalled(command.on, now); break;
        case Verb::ControllerSilence: modem->setControllerSilent(command.on); break;
        case Verb::Bearing: modem->setBearing(command.on ? command.value : NAN); break;
        default: break;
        }
        modem->link().setFaults(faults);
    }
    return {};
}
