#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A station's memory on disk: a folder with block.bin (the 1024-byte block
// table), data.bin (the data area as a memory dump reads it: 64256 bytes, or
// M when the area is larger) and station.ini ([Station] DevID, Type, Blocks,
// DataSize, FirstBlock, CurrentBlock, UsedSize, PressureOffset).
namespace nimbary::sim {

struct StationImage {
    std::vector<uint8_t> table;  // 1024 bytes
    std::vector<uint8_t> data;   // max(M, 64256) bytes
    uint32_t devId = 0;
    uint8_t type = 0;
    uint8_t blocks = 0;     // N
    uint16_t dataSize = 0;  // M
    uint8_t firstBlock = 0;
    uint8_t currentBlock = 0;
    uint16_t usedSize = 0;
    int16_t pressureOffset = 0;  // tenths of hPa

    static size_t DataFileSize(uint16_t dataSize);

    // Both return an empty text on success, else a message naming the file
    // and what is wrong with it. Nothing is half-loaded: `out` changes only
    // on success.
    std::string Save(const std::string& folder) const;
    static std::string Load(const std::string& folder, StationImage& out);
};

}  // namespace nimbary::sim
