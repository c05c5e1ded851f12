#pragma once

#include <cstdint>

// Command interface of a Tic stepper motor controller: a command byte with 0, 7 or 32 bits
// of data, or a read of a block of its variables; last_error says how the last one went.
class TicBase {
public:
    static constexpr uint8_t kNoAnswer = 50;  // a read got no answer, or a short one

    virtual void command_quick(uint8_t cmd) = 0;
    virtual void command_32(uint8_t cmd, int32_t data) = 0;
    virtual void command_7(uint8_t cmd, uint8_t data) = 0;
    virtual void get_segment(uint8_t cmd, uint8_t offset, uint8_t length, uint8_t* buffer) = 0;
    virtual ~TicBase() = default;

    uint8_t last_error = 0;  // 0 = success, kNoAnswer
};
