#include "Encoding.h"

#include <cmath>

#include "Units.h"

namespace nimbary {

uint8_t Checksum(const uint8_t* bytes, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum += bytes[i];
    return static_cast<uint8_t>(sum);
}

// --- ByteReader ---

bool ByteReader::Need(size_t offset, size_t n) {
    if (Has(offset, n)) return true;
    ok_ = false;
    return false;
}

uint32_t ByteReader::U8(size_t offset) {
    return Need(offset, 1) ? data_[offset] : 0;
}

uint32_t ByteReader::U16(size_t offset) {
    if (!Need(offset, 2)) return 0;
    return data_[offset] | (uint32_t{data_[offset + 1]} << 8);
}

uint32_t ByteReader::U32(size_t offset) {
    if (!Need(offset, 4)) return 0;
    return data_[offset] | (uint32_t{data_[offset + 1]} << 8) |
           (uint32_t{data_[offset + 2]} << 16) | (uint32_t{data_[offset + 3]} << 24);
}

int32_t ByteReader::S8(size_t offset) {
    return static_cast<int8_t>(U8(offset));
}

int32_t ByteReader::S16(size_t offset) {
    return static_cast<int16_t>(U16(offset));
}

void ByteReader::Pair12(size_t offset, uint32_t& first, uint32_t& second) {
    first = second = 0;
    if (!Need(offset, 3)) return;
    const uint8_t* b = data_ + offset;
    first = b[0] | ((b[1] & 0x0Fu) << 8);
    second = (b[1] >> 4) | (uint32_t{b[2]} << 4);
}

void ByteReader::Run12(size_t offset, int count, uint32_t* out) {
    size_t p = offset;
    bool even = true;
    for (int i = 0; i < count; ++i) {
        if (even) {
            out[i] = U16(p) & 0xFFF;
            p += 1;
        } else {
            out[i] = U16(p) >> 4;
            p += 2;
        }
        even = !even;
    }
}

uint32_t ByteReader::Low20(size_t offset) {
    if (!Need(offset, 3)) return 0;
    const uint8_t* b = data_ + offset;
    return b[0] | (uint32_t{b[1]} << 8) | ((b[2] & 0x0Fu) << 16);
}

uint32_t ByteReader::High20(size_t offset) {
    if (!Need(offset, 3)) return 0;
    const uint8_t* b = data_ + offset;
    return (b[0] >> 4) | (uint32_t{b[1]} << 4) | (uint32_t{b[2]} << 12);
}

// --- ByteWriter ---

bool ByteWriter::Need(size_t offset, size_t n) {
    if (data_ != nullptr && offset <= size_ && n <= size_ - offset) return true;
    ok_ = false;
    return false;
}

void ByteWriter::U8(size_t offset, uint32_t v) {
    if (Need(offset, 1)) data_[offset] = static_cast<uint8_t>(v);
}

void ByteWriter::U16(size_t offset, uint32_t v) {
    if (!Need(offset, 2)) return;
    data_[offset] = static_cast<uint8_t>(v);
    data_[offset + 1] = static_cast<uint8_t>(v >> 8);
}

void ByteWriter::Pair12(size_t offset, uint32_t first, uint32_t second) {
    if (!Need(offset, 3)) return;
    data_[offset] = static_cast<uint8_t>(first);
    data_[offset + 1] = static_cast<uint8_t>(((first >> 8) & 0x0F) | ((second & 0x0F) << 4));
    data_[offset + 2] = static_cast<uint8_t>(second >> 4);
}

void ByteWriter::Bit(size_t offset, int bit, bool on) {
    if (!Need(offset, 1)) return;
    const uint8_t mask = static_cast<uint8_t>(1u << bit);
    data_[offset] = on ? (data_[offset] | mask) : (data_[offset] & ~mask);
}

// --- value mapping ---

namespace {

// A sentinel code widened into the sentinel numbers. Codes between the
// field's readings and its sentinel codes would land just below VAL_INVALID
// and pass for huge readings; they are invalid instead.
int32_t Widen(uint32_t raw, uint32_t fill) {
    const int32_t v = static_cast<int32_t>(fill | raw);
    return v < VAL_INVALID ? VAL_INVALID : v;
}

// Integer part of a stored sentinel value, masked back to its code.
uint32_t SentinelCode(double v, uint32_t mask) {
    const double top = 0xFFFFFF;
    return (v >= top ? 0xFFFFFFu : static_cast<uint32_t>(v)) & mask;
}

// Integer part of v * 10 + offset + 0.5, kept inside [0, highest]; above it
// the field's High code is sent.
uint32_t Scaled(double v, double offset, uint32_t highest, uint32_t highCode) {
    const double code = v * 10.0 + offset + 0.5;
    if (code < 0.0) return 0;
    if (code >= highest + 1.0) return highCode;
    return static_cast<uint32_t>(code);
}

}  // namespace

double DecodeTemp12(uint32_t raw) {
    raw &= 0xFFF;
    if (raw >= kCode12Invalid) return Widen(raw, 0x7FF800);
    return (static_cast<int>(raw) - 400) / 10.0;
}

double DecodePlain12(uint32_t raw) {
    raw &= 0xFFF;
    if (raw >= kCode12Invalid) return Widen(raw, 0x7FF800);
    return raw / 10.0;
}

int32_t DecodeDir12(uint32_t raw) {
    raw &= 0xFFF;
    if (raw >= kCode12Invalid) return Widen(raw, 0x7FF800);
    return static_cast<int32_t>(raw);
}

int32_t DecodeHumi8(uint32_t raw) {
    raw &= 0xFF;
    if (raw >= kCode8Invalid) return Widen(raw, 0x7FFF80);
    return static_cast<int32_t>(raw);
}

double DecodeTenth16(uint32_t raw) {
    raw &= 0xFFFF;
    if (raw >= kCode16Invalid) return Widen(raw, 0x7F8000);
    return raw / 10.0;
}

double DecodeTenth16Raw(uint32_t raw) {
    return (raw & 0xFFFF) / 10.0;
}

double DecodeTenth20(uint32_t raw) {
    return (raw & 0xFFFFF) / 10.0;
}

int32_t DecodeBcd8(uint32_t raw) {
    return ((raw >> 4) & 0x0F) * 10 + (raw & 0x0F);
}

uint32_t EncodeTemp12(double f) {
    if (std::isnan(f)) return kCode12Invalid;
    if (f >= VAL_INVALID) return SentinelCode(f, 0x7FF);
    if (f < -40.0) return kCode12Low;
    return Scaled(f, 400.0, kCode12Invalid - 1, kCode12High);
}

uint32_t EncodePlain12(double v) {
    if (std::isnan(v)) return kCode12Invalid;
    if (v >= VAL_INVALID) return SentinelCode(v, 0x7FF);
    return Scaled(v, 0.0, kCode12Invalid - 1, kCode12High);
}

uint32_t EncodeHumi8(int32_t h) {
    if (h >= VAL_INVALID) return SentinelCode(h, 0x7F);
    if (h < 0) return 0;
    return h < static_cast<int32_t>(kCode8Invalid) ? static_cast<uint32_t>(h) : kCode8High;
}

uint32_t EncodeTenth16(double v) {
    if (std::isnan(v)) return kCode16Invalid;
    if (v >= VAL_INVALID) return SentinelCode(v, 0x7FFF);
    return Scaled(v, 0.0, kCode16Invalid - 1, kCode16High);
}

uint32_t EncodeBcd8(int32_t v) {
    return static_cast<uint32_t>((v / 10) * 16 + v % 10) & 0xFF;
}

}  // namespace nimbary
