// The simulator's station image loader on a folder made of the fuzz input.
//   byte 0: bit 0 pads block.bin to its 1024 bytes, bit 1 pads data.bin to
//           64256 bytes (bit 2: to 65535), with the file's own bytes
//           repeated, so most inputs get past the size checks
//   bytes 1-2, 3-4: the lengths of station.ini and block.bin; then
//   station.ini, block.bin, and data.bin as the rest
//
// Properties: a rejected image says why and leaves the image it was to fill
// alone; a loaded one saves and loads again equal.
#include <algorithm>
#include <fstream>

#include "FuzzSupport.h"
#include "StationImage.h"

using namespace nimbary;
using namespace nimbary::fuzz;
using nimbary::sim::StationImage;

namespace {

void Write(const std::string& path, const uint8_t* p, size_t n, size_t padTo) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(p), static_cast<std::streamsize>(n));
    for (size_t i = n; n > 0 && i < padTo; ++i) f.put(static_cast<char>(p[i % n]));
}

bool Same(const StationImage& a, const StationImage& b) {
    return a.table == b.table && a.data == b.data && a.devId == b.devId && a.type == b.type &&
           a.blocks == b.blocks && a.dataSize == b.dataSize && a.firstBlock == b.firstBlock &&
           a.currentBlock == b.currentBlock && a.usedSize == b.usedSize &&
           a.pressureOffset == b.pressureOffset;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    if (size < 5) return 0;
    const uint8_t mode = in[0];
    size_t at = 5;
    const size_t iniLen = std::min<size_t>(in[1] | in[2] << 8, size - at);
    const uint8_t* ini = in + at;
    at += iniLen;
    const size_t tableLen = std::min<size_t>(in[3] | in[4] << 8, size - at);
    const uint8_t* table = in + at;
    at += tableLen;

    static ScratchDir dir;  // one folder for the whole run
    const std::string folder = dir.File("in"), again = dir.File("again");
    std::filesystem::create_directories(folder);
    Write(folder + "/station.ini", ini, iniLen, 0);
    Write(folder + "/block.bin", table, tableLen, mode & 1 ? 1024 : 0);
    Write(folder + "/data.bin", in + at, size - at, mode & 4 ? 65535 : mode & 2 ? 64256 : 0);

    StationImage before;
    before.devId = 0xDEADBEEF;
    before.table.assign(3, 7);
    StationImage img = before;
    const std::string err = StationImage::Load(folder, img);
    if (Verbose()) std::fprintf(stderr, "load: %s\n", err.empty() ? "loaded" : err.c_str());
    if (!err.empty()) {
        FUZZ_CHECK(Same(img, before));
        return 0;
    }
    FUZZ_CHECK(img.table.size() == 1024 && img.data.size() == StationImage::DataFileSize(img.dataSize));
    FUZZ_CHECK(img.firstBlock <= img.blocks && img.currentBlock <= img.blocks &&
               img.usedSize <= img.dataSize);
    FUZZ_CHECK(img.Save(again).empty());
    StationImage reloaded;
    FUZZ_CHECK(StationImage::Load(again, reloaded).empty());
    FUZZ_CHECK(Same(img, reloaded));
    return 0;
}
