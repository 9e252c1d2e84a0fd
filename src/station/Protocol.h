#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "HistoryRecord.h"
#include "StationData.h"
#include "Units.h"

// The station's frames without any transport: request builders and reply
// decoders on a 128-byte frame, shared by StationData and the plug-in's
// driver library.
//
// Builders fill the frame's bytes 0..L-1, checksum included, and zero the
// rest. Decoders check the envelope (length, checksum, reply code) and every
// echo or status byte first, then decode into their output only when all of
// the reply's fields are inside its length; on false the output is untouched.
namespace nimbary {

constexpr size_t kFrameSize = 128;
constexpr size_t kMaxRequestLength = 64;
using Frame = std::array<uint8_t, kFrameSize>;

enum CommandCode : uint8_t {
    CMD_READ_INFO = 0x01,
    CMD_READ_MEMORY = 0x02,
    CMD_SET_CLOCK = 0x83,
    CMD_READ_CURRENT = 0x04,
    CMD_READ_MAXMIN = 0x05,
    CMD_READ_ALARMS = 0x06,
    CMD_WRITE_ALARMS = 0x86,
    CMD_CLEAR = 0x87,
    CMD_READ_SETTINGS = 0x08,
    CMD_WRITE_SETTINGS = 0x88,
    CMD_READ_GRAPH = 0x09,
};

enum MemoryArea : uint8_t {
    AREA_STATUS = 0,
    AREA_BLOCK_TABLE = 1,
    AREA_DATA = 2,
    AREA_PRESSURE_OFFSET = 3,
};

constexpr uint8_t kMaxMemoryCount = 124;  // what fits a two-report reply

enum ClearWhat : uint8_t { CLEAR_HISTORY = 0, CLEAR_MAXMIN = 1 };

// --- envelope ---

// Writes the checksum of a request whose length byte is set; false (and
// nothing written) for a length outside 2..64.
bool SealRequest(Frame& f);
// Length in 2..128 and the checksum matches.
bool ReplyValid(const Frame& f);
// ReplyValid, byte 1 is `code`, and the reply is at least minLength long.
bool ReplyIs(const Frame& f, uint8_t code, size_t minLength);
// A reply whose byte 2 is the status 0 (set clock, clear, write settings).
bool StatusOk(const Frame& f, uint8_t code);

// --- commands ---

void BuildReadInfo(Frame& f);
bool DecodeDeviceInfo(const Frame& f, StationInfo& out);

// False for an unknown area, or for areas 1 and 2 a count of 0 or above 124.
bool BuildReadMemory(Frame& f, uint8_t area, uint16_t address, uint8_t count);
// Reply byte 2 echoes the area.
bool MemoryEchoOk(const Frame& f, uint8_t area);
// Areas 1 and 2: exactly `count` data bytes (a shorter reply fails); areas 0
// and 3: the bytes from reply byte 3 up to the checksum.
bool DecodeMemory(const Frame& f, uint8_t area, uint8_t count, std::vector<uint8_t>& data);
bool DecodeMemoryStatus(const Frame& f, MemoryStatus& out);
bool DecodePressureOffset(const Frame& f, int16_t& tenthsHpa);

struct ClockTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0, millis = 0;
};
void BuildSetClock(Frame& f, const ClockTime& t);
ClockTime LocalClockNow();

void BuildReadCurrent(Frame& f);
// keepAllChannels: the plug-in keeps all eight channels and the full masks;
// the program keeps channel 1 only.
bool DecodeCurrent(const Frame& f, bool keepAllChannels, HistoryRecord& current,
                   PresenceBlock& presence);

void BuildReadMaxMin(Frame& f);
// Fields the presence block does not name are left as they are (the caller
// fills VAL_ABSENT first).
bool DecodeMaxMin(const Frame& f, const PresenceBlock& presence, MaxMinRecord& out);

void BuildReadAlarms(Frame& f);
bool DecodeAlarms(const Frame& f, AlarmRecord& out);
void BuildWriteAlarms(Frame& f, const AlarmRecord& a);

// False (nothing built) for anything but CLEAR_HISTORY and CLEAR_MAXMIN.
bool BuildClear(Frame& f, uint8_t what);

void BuildReadSettings(Frame& f);
bool DecodeSettings(const Frame& f, StationSettings& out);
void BuildWriteSettings(Frame& f, const StationSettings& s);
// The settings' unit codes into a unit set; LightUnit becomes 0.
void CopyUnits(const StationSettings& s, UnitSet& units);

// The 22-byte settings block alone, as carried by the read reply (from byte
// 4) and the write request (from byte 2).
constexpr size_t kSettingsBlockSize = 22;
void DecodeSettingsBlock(const uint8_t* block, StationSettings& s);
void EncodeSettingsBlock(const StationSettings& s, uint8_t* block);

// The alarm fields as carried by the read reply and the write request alike.
constexpr size_t kAlarmLength = 0x24;  // length of both frames

enum GraphType : uint8_t {
    GRAPH_IN_TEMP = 1,
    GRAPH_IN_HUMI = 2,
    GRAPH_CH_TEMP = 3,
    GRAPH_CH_HUMI = 4,
    GRAPH_BARO = 5,
    GRAPH_WIND = 6,  // index 0 wind, 1 gust
    GRAPH_RAIN = 8,
};
struct GraphRequest {
    uint8_t type = 0;
    uint8_t index = 0;
    bool operator==(const GraphRequest& o) const { return type == o.type && index == o.index; }
};
// False (nothing built) for a type or index the station does not serve.
bool BuildReadGraph(Frame& f, uint8_t type, uint8_t index);
// Reply bytes 2 and 3 echo type and index.
bool GraphEchoOk(const Frame& f, uint8_t type, uint8_t index);
// Fills only the one series the request named.
bool DecodeGraph(const Frame& f, uint8_t type, uint8_t index, GraphSeries& out);
// Every series the presence block names, in the order the station is asked.
std::vector<GraphRequest> GraphRefreshOrder(const PresenceBlock& presence);

}  // namespace nimbary
