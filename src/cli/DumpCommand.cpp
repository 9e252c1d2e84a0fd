#include <algorithm>
#include <cstdio>

#include "ArgList.h"
#include "BlockEntry.h"
#include "Command.h"
#include "StationImage.h"
#include "StationSession.h"

namespace nimbary::cli {

const char* const kDumpHelp =
    "Reads the station's whole history memory into a station image folder:\n"
    "block.bin (the 1024-byte block table), data.bin (the data area, 64256 bytes\n"
    "or all of it when it is larger) and station.ini (id, type, block count, data\n"
    "size, first and current block, used size, pressure offset). The simulated\n"
    "station replays such a folder with --sim-image DIR.\n";

namespace {

constexpr int kChunk = 124;  // the most one reply carries

// Reads `size` bytes of a memory area from address 0.
bool ReadArea(StationData& station, uint8_t area, size_t size, std::vector<uint8_t>& out,
              std::string& error) {
    out.clear();
    std::vector<uint8_t> chunk;
    for (size_t address = 0; address < size; address += kChunk) {
        const auto count = static_cast<uint8_t>(std::min<size_t>(kChunk, size - address));
        if (!station.ReadMemory(area, static_cast<uint16_t>(address), count, chunk) ||
            chunk.size() < count) {
            char buf[120];
            std::snprintf(buf, sizeof buf,
                          "the station did not answer the read of %s at address %zu",
                          area == 1 ? "the block table" : "the data area", address);
            error = buf;
            return false;
        }
        out.insert(out.end(), chunk.begin(), chunk.begin() + count);
    }
    return true;
}

}  // namespace

int RunDump(std::vector<std::string> args) {
    ArgList a(std::move(args));
    BackendOptions backend;
    const std::string backendError = BackendOptions::Parse(a.Raw(), backend);
    if (!backendError.empty()) return UsageError("dump", backendError);
    std::vector<std::string> positional;
    if (!a.Finish(positional, 1, 1, "the image folder DIR")) return UsageError("dump", a.Error());
    const std::string folder = positional[0];

    std::string error;
    StationSession session;
    // A simulated station lives in this process alone: it needs no lock.
    if (const int opened = session.Open(backend, std::string()); opened != kExitOk) return opened;
    StationData& station = session.Data();
    StationInfo info;
    MemoryStatus status;
    int16_t offset = 0;
    sim::StationImage image;
    if (!station.ReadDeviceInfo(info)) {
        PrintError("the station did not send its device information");
        return kExitFailure;
    }
    if (!station.ReadMemoryStatus(status)) {
        PrintError("the station did not send its memory status");
        return kExitFailure;
    }
    if (!ReadArea(station, 1, kBlockTableSize, image.table, error) ||
        !ReadArea(station, 2, sim::StationImage::DataFileSize(info.DataSize), image.data, error)) {
        PrintError(error);
        return kExitFailure;
    }
    if (!station.ReadPressureOffset(offset)) {
        PrintError("the station did not send its pressure offset");
        return kExitFailure;
    }
    image.devId = info.DevID;
    image.type = info.Type;
    image.blocks = info.Blocks;
    image.dataSize = info.DataSize;
    image.firstBlock = status.FirstBlock;
    image.currentBlock = status.CurrentBlock;
    image.usedSize = status.DataSize;
    image.pressureOffset = offset;
    error = image.Save(folder);
    if (!error.empty()) {
        PrintError(error);
        return kExitFailure;
    }
    std::printf("Station %08X: %d blocks, %u-byte data area, saved to %s\n", info.DevID,
                info.Blocks, info.DataSize, folder.c_str());
    return kExitOk;
}

}  // namespace nimbary::cli
