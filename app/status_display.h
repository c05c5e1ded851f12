#pragma once
// How the modem's status is put into words and colours: indicator style sheets, the mode text
// and picture, and the fixed-width indicator texts shared by the status fields and the abonent list.

#include "status_records.h"

#include <QString>
#include <cstdint>

namespace statusview {

enum class Indicator { Grey, Green, Red, Yellow, White };

QString styleSheet(Indicator colour);

// The operating mode as displayed; spreading and modulation are indices (ПШС64 << s, Фм2 << m).
struct Mode {
    bool valid = false;
    int number = 0;
    int role = 0;
    int spreading = 0;
    int modulation = 0;
};

// From the mode byte of a continuous status: codes 28..31 are invalid but still give a number.
Mode modeFromByte(uint8_t opmode);
Mode modeFromExtended(const ExtendedStatus& status);

// "4, Земля" or "--, -----": number and role only, as the abonent list shows it.
QString modeRoleText(const Mode& mode);
// The role text followed by the channel suffix chosen by the mode number.
QString modeText(const Mode& mode);
// Resource path of the mode's picture, or the empty picture for an invalid mode.
QString modePicturePath(const Mode& mode);

// "%1 дБ" with minus the magnitude, right-aligned in four characters.
QString rssiText(int magnitudeDb);

} // namespace statusview
