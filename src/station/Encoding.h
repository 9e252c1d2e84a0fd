#pragma once

#include <cstddef>
#include <cstdint>

// The station's wire encodings and the byte helpers every frame decoder and
// encoder goes through. Multi-byte integers are little-endian; 12-bit values
// share three bytes per pair.
namespace nimbary {

// 8-bit additive checksum of n bytes.
uint8_t Checksum(const uint8_t* bytes, size_t n);

// Bounded reads from a byte buffer. A read that does not fit returns 0 and
// marks the reader failed, so a decoder checks ok() once before it commits
// what it decoded.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    bool Has(size_t offset, size_t n) const {
        return data_ != nullptr && offset <= size_ && n <= size_ - offset;
    }

    uint32_t U8(size_t offset);
    uint32_t U16(size_t offset);
    uint32_t U32(size_t offset);
    int32_t S8(size_t offset);
    int32_t S16(size_t offset);

    // A lone 12-bit field: the low 12 bits of the 16-bit word at offset.
    uint32_t Lone12(size_t offset) { return U16(offset) & 0xFFF; }
    // Two 12-bit codes in the three bytes at offset.
    void Pair12(size_t offset, uint32_t& first, uint32_t& second);
    // A run of `count` packed 12-bit codes from offset, starting in the even
    // phase; takes 3*count/2 bytes (rounded up).
    void Run12(size_t offset, int count, uint32_t* out);
    // 20-bit fields in the nibble packing: bits 0-19 (low) or 4-23 (high) of
    // the little-endian word at offset. Only the three bytes that carry the
    // bits are required to be present.
    uint32_t Low20(size_t offset);
    uint32_t High20(size_t offset);

private:
    bool Need(size_t offset, size_t n);

    const uint8_t* data_;
    size_t size_;
    bool ok_ = true;
};

// Bounded writes into a byte buffer; a write that does not fit is dropped
// and marks the writer failed.
class ByteWriter {
public:
    ByteWriter(uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }

    void U8(size_t offset, uint32_t v);
    void U16(size_t offset, uint32_t v);
    // Merges two 12-bit codes exactly as Pair12 splits them.
    void Pair12(size_t offset, uint32_t first, uint32_t second);
    // Sets or clears one bit of the byte at offset.
    void Bit(size_t offset, int bit, bool on);

private:
    bool Need(size_t offset, size_t n);

    uint8_t* data_;
    size_t size_;
    bool ok_ = true;
};

// Raw code to stored value. Sentinel codes fill the top of the field's range
// and are stored as the sentinel numbers; a code in the gap between the
// field's width and the sentinel codes (a 12-bit 0x800..0xFF9, say) carries
// no reading and is stored as VAL_INVALID.
double DecodeTemp12(uint32_t raw);      // (raw - 400) / 10 °F
double DecodePlain12(uint32_t raw);     // raw / 10
int32_t DecodeDir12(uint32_t raw);      // whole degrees
int32_t DecodeHumi8(uint32_t raw);      // percent
double DecodeTenth16(uint32_t raw);     // raw / 10, top codes are sentinels
double DecodeTenth16Raw(uint32_t raw);  // raw / 10, no sentinel test (rain hour/day)
double DecodeTenth20(uint32_t raw);     // raw / 10, no sentinels
int32_t DecodeBcd8(uint32_t raw);       // two packed decimal digits

// Stored value to raw code, the write rules. Sentinels go back to their codes
// (8388602 -> 0x7FA); a value too large for the field is sent as the High
// code rather than spilling into the neighbouring bits.
uint32_t EncodeTemp12(double f);  // below -40.0 °F: the Low code 0x7FC
uint32_t EncodePlain12(double v);
uint32_t EncodeHumi8(int32_t h);
uint32_t EncodeTenth16(double v);
uint32_t EncodeBcd8(int32_t v);

// Sentinel codes of each width.
constexpr uint32_t kCode12Invalid = 0x7FA;
constexpr uint32_t kCode12Low = 0x7FC;
constexpr uint32_t kCode12High = 0x7FD;
constexpr uint32_t kCode8Invalid = 122;
constexpr uint32_t kCode8High = 125;
constexpr uint32_t kCode16Invalid = 0x7FFA;
constexpr uint32_t kCode16High = 0x7FFD;

}  // namespace nimbary
