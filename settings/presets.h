#pragma once
// The one-click configurations of a modem: defaults, converter and secret records that the
// settings window's preset buttons write, built without the form.

#include "records.h"

#include <QList>
#include <QString>
#include <cstdint>

namespace presets {

// Ground station or on-board unit, each in the main variant or the control-link ("kt") variant
// with its own network status, transmitter muted and converter 0 switched off.
enum class Core { MainGround, MainAbonent, KtGround, KtAbonent };

struct Pipelines {
    QString fm2;
    QString fm4;
};

// Video pipelines of the board-side presets: JPEG quality 35 or 55, slower rate with FM2.
Pipelines q35();
Pipelines q55();

// Channels the station offers while the modem has named none (1400 to 1455 MHz, 11 MHz apart).
QList<uint64_t> builtInChannels();

// The pipeline texts are used by MainAbonent only.
ModemDefaults defaults(Core core, uint8_t mode, uint8_t ls, uint8_t hs, uint64_t frequency,
                            const Pipelines& pipelines = {});

ConverterConfig converters(Core core);

// 16 letters and digits and a NUL, kept in permanent memory.
SessionSecret defaultSessionSecret();

} // namespace presets
