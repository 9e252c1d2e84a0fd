#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The station's side of the wire: raw codes of each field encoding and the
// byte helpers that place them into frames and memory. Written from the
// frame layouts, independently of the program's decoders, so that the
// simulator can catch their faults.
namespace nimbary::sim {

// Values are held in whole tenths (°F, hPa, m/s, mm) or whole units
// (%, degrees); any value of VAL_INVALID or more is a sentinel and goes out
// as its own code.

// 12-bit temperature: tenths of °F + 400; below -40.0 °F "low", above the
// code range "high".
uint16_t Temp12(int32_t tenthsF);
// 12-bit plain tenths (wind, gust).
uint16_t Plain12(int32_t tenths);
// 12-bit whole degrees (wind direction).
uint16_t Dir12(int32_t degrees);
// One-byte humidity in %.
uint8_t Humi8(int32_t percent);
// 16-bit tenths (pressure, rain hour and day).
uint16_t Tenth16(int32_t tenths);
// 20-bit tenths of mm (rain week, month and total); no sentinels.
uint32_t Tenth20(uint32_t tenths);
// Two packed decimal digits.
uint8_t Bcd8(int value);

// Two 12-bit codes in three bytes: a in p[0] and the low nibble of p[1],
// b in the high nibble of p[1] and p[2].
void PutPair12(uint8_t* p, uint16_t a, uint16_t b);
// A lone 12-bit code in the low 12 bits of a little-endian word.
void PutLow12(uint8_t* p, uint16_t v);
// A 20-bit value in bits 0-19 (Low) or 4-23 (High) of the little-endian
// 32-bit word at p; the other nibble of the shared byte is kept.
void PutTenth20Low(uint8_t* p, uint32_t v);
void PutTenth20High(uint8_t* p, uint32_t v);
void PutLe16(uint8_t* p, uint16_t v);
void PutLe32(uint8_t* p, uint32_t v);
uint16_t GetLe16(const uint8_t* p);
uint32_t GetLe32(const uint8_t* p);

// Additive 8-bit checksum of n bytes.
uint8_t Checksum(const uint8_t* p, size_t n);

// A frame of `length` bytes with the length byte and the code filled in;
// the caller fills the data and then calls SealFrame.
std::vector<uint8_t> NewFrame(size_t length, uint8_t code);
// Writes the checksum into the last byte.
void SealFrame(std::vector<uint8_t>& frame);

}  // namespace nimbary::sim
