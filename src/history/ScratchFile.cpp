#include "ScratchFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace nimbary {

namespace {

class Writer {
public:
    explicit Writer(uint8_t* p) : p_(p) {}
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) *p_++ = static_cast<uint8_t>(v >> (8 * i));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void Put(int32_t v) { I32(v); }
    void Put(double v) { F64(v); }
    void F64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i) *p_++ = static_cast<uint8_t>(bits >> (8 * i));
    }
    const uint8_t* End() const { return p_; }

private:
    uint8_t* p_;
};

class Reader {
public:
    explicit Reader(const uint8_t* p) : p_(p) {}
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(*p_++) << (8 * i);
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    double F64() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(*p_++) << (8 * i);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    void Get(int32_t& v) { v = I32(); }
    void Get(double& v) { v = F64(); }

private:
    const uint8_t* p_;
};

}  // namespace

void ScratchFile::Encode(const HistoryRecord& r, uint8_t (&image)[kImageSize]) {
    Writer w(image);
    w.U32(r.DevID);
    w.F64(r.RecTime);
    ForEachMeasurement(r, [&w](auto v) { w.Put(v); });
    assert(w.End() == image + kImageSize);
    (void)w;
}

void ScratchFile::Decode(const uint8_t (&image)[kImageSize], HistoryRecord& r) {
    Reader rd(image);
    r.DevID = rd.U32();
    r.RecTime = rd.F64();
    ForEachMeasurement(r, [&rd](auto& v) { rd.Get(v); });
}

bool ScratchFile::Create() {
    file_.reset();
    count_ = 0;
    // The folder the environment names (TMPDIR), else the system's.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) return false;
    std::string name = (folder / "nimbary-download-XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // Nameless from now on, so it goes with its last handle, even in a crash.
    ::unlink(name.c_str());
    std::FILE* f = ::fdopen(fd, "w+b");
    if (!f) {
        ::close(fd);
        return false;
    }
    file_.reset(f);
    return true;
}

bool ScratchFile::Append(const HistoryRecord& rec) {
    if (!file_) return false;
    uint8_t image[kImageSize];
    Encode(rec, image);
    if (std::fwrite(image, 1, kImageSize, file_.get()) != kImageSize) return false;
    ++count_;
    return true;
}

bool ScratchFile::Rewind() {
    if (!file_) return false;
    return std::fflush(file_.get()) == 0 && std::fseek(file_.get(), 0, SEEK_SET) == 0;
}

bool ScratchFile::ReadNext(HistoryRecord& rec) {
    if (!file_) return false;
    uint8_t image[kImageSize];
    if (std::fread(image, 1, kImageSize, file_.get()) != kImageSize) return false;
    Decode(image, rec);
    return true;
}

}  // namespace nimbary
