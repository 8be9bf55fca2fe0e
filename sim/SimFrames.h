#pragma once
// Frame helpers of the meter side: addresses, request checks, answer frames.
#include "protocol/vq7prot/Vq7comm.h"

#include <cstdint>
#include <vector>

// Address value of a meter number: packed BCD of the low 24 bits, top byte OR-ed in;
// the broadcast number travels as "QRST".
uint32_t SimAddressOf(uint32_t number);
void PutSimAddress(uint8_t* bytes, uint32_t number);
bool IsBroadcastAddress(const uint8_t* bytes);
// A 16-byte request whose check bytes are right.
bool RequestFrameOk(const uint8_t* frame);
// Length of the answer a meter sends to a command code (also for its error answers).
unsigned SimAnswerLength(uint8_t command);
// An answer frame: address, code, data (zero padded), check bytes. A superlong
// frame carries its data length at byte 5.
std::vector<uint8_t> MakeAnswerFrame(uint32_t number, uint8_t code, unsigned frameLength,
                                     const uint8_t* data = nullptr, unsigned dataLength = 0);
// Recomputes the two check bytes at the end of a frame.
void RefreshChecks(std::vector<uint8_t>& frame);
// Packed BCD of 0..99.
uint8_t ToBcd(unsigned value);
