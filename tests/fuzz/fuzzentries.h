#pragma once
// Entry points shared by the libFuzzer targets and the seeded random-input test: each takes one
// input of any bytes, feeds it to one reader of outside input and says whether its invariants held.

#include <cstddef>
#include <cstdint>

namespace fuzzentry {

// Report-record decoders and the mode byte: decoding what an encoder wrote settles at once.
bool records(const uint8_t* data, size_t size);
// The main window's report slots (and through them the settings window), and the channel list.
bool windows(const uint8_t* data, size_t size);
// PhoneControl's datagrams, every header value: a text arrives whole, up to its first NUL.
bool phone(const uint8_t* data, size_t size);
// The stepper controller's reply to a variable read: its first bytes, or zeros when it is short.
bool stepper(const uint8_t* data, size_t size);
// The attenuator's reply to a setting: success only with its acknowledgement.
bool attenuator(const uint8_t* data, size_t size);
// The simulator's control lines, modem requests and stepper controller commands.
bool simulator(const uint8_t* data, size_t size);

} // namespace fuzzentry
