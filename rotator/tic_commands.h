#pragma once
// Command bytes and variable offsets of the Tic stepper motor controller.
// Shared by the station's rotator and the simulated controller so both speak the same bytes.

#include <cstdint>

namespace tic {

constexpr uint8_t kGetVariable = 0xA1;
constexpr uint8_t kGetVariableAndClear = 0xA2;
constexpr uint8_t kExitSafeStart = 0x83;
constexpr uint8_t kResetCommandTimeout = 0x8C;
constexpr uint8_t kSetTargetPosition = 0xE0;
constexpr uint8_t kHaltAndSetPosition = 0xEC;

constexpr uint8_t kCurrentPosition = 0x22; // offset of the i32 present position

} // namespace tic
