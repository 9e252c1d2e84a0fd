#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "HistoryRecord.h"

namespace nimbary {

// The download's staging file: fixed-size little-endian HistoryRecord images
// in an anonymous file in the temporary folder (TMPDIR when set) that
// disappears when the object does, so a batch of any size costs memory for
// one record only.
class ScratchFile {
public:
    static constexpr size_t kImageSize = 348;

    ScratchFile() = default;
    // Creates the temporary file; false when there is no temporary folder or
    // the file cannot be made in it.
    bool Create();
    bool IsOpen() const { return file_ != nullptr; }

    bool Append(const HistoryRecord& rec);
    // Back to the first image for reading; also flushes what was appended.
    bool Rewind();
    // The next image; false at the end or on a read error.
    bool ReadNext(HistoryRecord& rec);
    uint32_t Count() const { return count_; }

    static void Encode(const HistoryRecord& rec, uint8_t (&image)[kImageSize]);
    static void Decode(const uint8_t (&image)[kImageSize], HistoryRecord& rec);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    uint32_t count_ = 0;
};

}  // namespace nimbary
