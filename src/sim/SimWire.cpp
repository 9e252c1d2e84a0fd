#include "SimWire.h"

#include "Units.h"

namespace nimbary::sim {

namespace {
bool Sentinel(int32_t v) {
    return v >= VAL_INVALID;
}
constexpr uint16_t kCode12Low = 0x7FC;
constexpr uint16_t kCode12High = 0x7FD;
constexpr uint16_t kFirstSentinel12 = 0x7FA;
}  // namespace

uint16_t Temp12(int32_t tenthsF) {
    if (Sentinel(tenthsF)) return static_cast<uint16_t>(tenthsF & 0x7FF);
    int32_t code = tenthsF + 400;
    if (code < 0) return kCode12Low;
    if (code >= kFirstSentinel12) return kCode12High;
    return static_cast<uint16_t>(code);
}

uint16_t Plain12(int32_t tenths) {
    if (Sentinel(tenths)) return static_cast<uint16_t>(tenths & 0x7FF);
    if (tenths < 0) return 0;
    if (tenths >= kFirstSentinel12) return kCode12High;
    return static_cast<uint16_t>(tenths);
}

uint16_t Dir12(int32_t degrees) {
    if (Sentinel(degrees)) return static_cast<uint16_t>(degrees & 0x7FF);
    int32_t d = degrees % 360;
    if (d < 0) d += 360;
    return static_cast<uint16_t>(d);
}

uint8_t Humi8(int32_t percent) {
    if (Sentinel(percent)) return static_cast<uint8_t>(percent & 0x7F);
    if (percent < 0) return 0;
    if (percent > 121) return 121;
    return static_cast<uint8_t>(percent);
}

uint16_t Tenth16(int32_t tenths) {
    if (Sentinel(tenths)) return static_cast<uint16_t>(tenths & 0x7FFF);
    if (tenths < 0) return 0;
    if (tenths > 0x7FF9) return 0x7FF9;
    return static_cast<uint16_t>(tenths);
}

uint32_t Tenth20(uint32_t tenths) {
    return tenths & 0xFFFFF;
}

uint8_t Bcd8(int value) {
    if (value < 0) value = 0;
    value %= 100;
    return static_cast<uint8_t>((value / 10) * 16 + value % 10);
}

void PutPair12(uint8_t* p, uint16_t a, uint16_t b) {
    p[0] = static_cast<uint8_t>(a & 0xFF);
    p[1] = static_cast<uint8_t>(((a >> 8) & 0x0F) | ((b & 0x0F) << 4));
    p[2] = static_cast<uint8_t>((b >> 4) & 0xFF);
}

void PutLow12(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0x0F);
}

void PutTenth20Low(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    p[2] = static_cast<uint8_t>((p[2] & 0xF0) | ((v >> 16) & 0x0F));
}

void PutTenth20High(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>((p[0] & 0x0F) | ((v & 0x0F) << 4));
    p[1] = static_cast<uint8_t>((v >> 4) & 0xFF);
    p[2] = static_cast<uint8_t>((v >> 12) & 0xFF);
}

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

uint16_t GetLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint8_t Checksum(const uint8_t* p, size_t n) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += p[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

std::vector<uint8_t> NewFrame(size_t length, uint8_t code) {
    std::vector<uint8_t> f(length, 0);
    f[0] = static_cast<uint8_t>(length);
    if (length > 1) f[1] = code;
    return f;
}

void SealFrame(std::vector<uint8_t>& frame) {
    if (frame.empty()) return;
    frame.back() = Checksum(frame.data(), frame.size() - 1);
}

}  // namespace nimbary::sim
