#pragma once
// A request frame as the workstation builds it.
#include "protocol/vq7prot/vq7cmd.h"

#include <initializer_list>
#include <vector>

inline std::vector<uint8_t> Request(uint32_t number, uint8_t cmd, std::initializer_list<uint8_t> data = {})
{
    VQ7_CMD frame{};
    PutLeU32(frame.m_abAddr, NumberToBcd(number));
    frame.m_bCmd = cmd;
    size_t i = 0;
    for (uint8_t b : data)
        frame.m_abData[i++] = b;
    SetCmdChecks(frame);
    const auto* p = reinterpret_cast<const uint8_t*>(&frame);
    return std::vector<uint8_t>(p, p + sizeof frame);
}
