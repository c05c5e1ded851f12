// The attenuator on a raw pseudo-terminal: each input is a setting and the device's reply to it,
// written before the command goes out so that the reply wait never runs out.

#include "fuzzentries.h"

#include "att_dc_6ghz_30db.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

struct AttenuatorRig {
    AttenuatorRig()
    {
        termios raw {};
        cfmakeraw(&raw);
        char path[64] = {};
        if (openpty(&master, &slave, path, &raw, nullptr) != 0)
            return;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        reply("attOK");
        opened = device.initialize(QString::fromLatin1(path));
    }

    void reply(const QByteArray& bytes)
    {
        char sink[256];
        while (::read(master, sink, sizeof sink) > 0) { } // the commands sent so far
        if (!bytes.isEmpty() && ::write(master, bytes.constData(), size_t(bytes.size())) != bytes.size())
            opened = false;
    }

    int master = -1;
    int slave = -1;
    att_dc_6ghz_30db device;
    bool opened = false;
};

} // namespace

bool fuzzentry::attenuator(const uint8_t* data, size_t size)
{
    static AttenuatorRig rig;
    if (!rig.opened)
        return false;
    if (size < 3) // no reply at all would only wait out the timeout
        return true;
    const double value = (data[0] | data[1] << 8) / 100.0 - 10.0;
    const QByteArray reply(reinterpret_cast<const char*>(data + 2), int(qMin<size_t>(size - 2, 32)));

    rig.device.clear();
    rig.reply(reply);
    const double before = rig.device.attenuation;
    const bool taken = rig.device.set_attenuation(value);
    // Only an acknowledged setting is taken; a refused one leaves the last acknowledged value.
    return taken ? rig.device.attenuation == value && reply.startsWith("attOK") : rig.device.attenuation == before;
}
