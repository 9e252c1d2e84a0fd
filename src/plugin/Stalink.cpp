// libstalink.so: the station-driver functions the plug-in calls, over the
// project's own station link.
#include <algorithm>
#include <cstring>
#include <string>

#include "Protocol.h"
#include "StationLink.h"
#include "stalink.h"

#define STALINK_EXPORT __attribute__((visibility("default")))

using namespace nimbary;

namespace {

enum class Check { None, Status, GraphEcho };

// One exchange; the reply goes to the caller only when the whole exchange
// succeeded, with the status or echo byte its command requires.
int Run(Frame& f, unsigned char* buffer, Check check = Check::None) {
    const uint8_t code = f[1], type = f[2], index = f[3];
    StationLink& link = StationLink::Instance();
    const int rc = link.Exchange(f, code);
    if (rc != STALINK_OK) return rc;
    if (check == Check::Status && !StatusOk(f, code)) return STALINK_FAILED;
    if (check == Check::GraphEcho && !GraphEchoOk(f, type, index)) {
        // A reply to some other request: the next exchange starts clean.
        link.RequestResync();
        return STALINK_FAILED;
    }
    if (buffer) std::memcpy(buffer, f.data(), kFrameSize);
    return STALINK_OK;
}

int Read(unsigned char* buffer, uint8_t code, unsigned char length) {
    if (!buffer || length != 3) return STALINK_BAD_ARGUMENT;
    Frame f{};
    f[0] = 3;
    f[1] = code;
    return Run(f, buffer);
}

// The caller fills the data bytes; length, code and checksum are ours.
int Write(unsigned char* buffer, uint8_t code, unsigned char length, size_t expected, Check check) {
    if (!buffer || length != expected) return STALINK_BAD_ARGUMENT;
    Frame f{};
    f[0] = length;
    f[1] = code;
    std::copy(buffer + 2, buffer + length - 1, f.begin() + 2);
    return Run(f, buffer, check);
}

}  // namespace

extern "C" {

STALINK_EXPORT int UsbReadRecord(unsigned char* buffer) {
    return Read(buffer, CMD_READ_CURRENT, 3);
}

STALINK_EXPORT int UsbReadMaxMin(unsigned char* buffer) {
    return Read(buffer, CMD_READ_MAXMIN, 3);
}

STALINK_EXPORT int UsbReadAlarm(unsigned char* buffer, unsigned char length) {
    return Read(buffer, CMD_READ_ALARMS, length);
}

STALINK_EXPORT int UsbWriteAlarm(unsigned char* buffer, unsigned char length) {
    return Write(buffer, CMD_WRITE_ALARMS, length, kAlarmLength, Check::None);
}

STALINK_EXPORT int UsbReadParam(unsigned char* buffer, unsigned char length) {
    return Read(buffer, CMD_READ_SETTINGS, length);
}

STALINK_EXPORT int UsbWriteParam(unsigned char* buffer, unsigned char length) {
    return Write(buffer, CMD_WRITE_SETTINGS, length, 2 + kSettingsBlockSize + 1, Check::Status);
}

STALINK_EXPORT int UsbReadGraph(unsigned char* buffer, unsigned char type, unsigned char index) {
    Frame f;
    if (!buffer || !BuildReadGraph(f, type, index)) return STALINK_BAD_ARGUMENT;
    return Run(f, buffer, Check::GraphEcho);
}

STALINK_EXPORT int UsbClearMaxMin(void) {
    Frame f;
    BuildClear(f, CLEAR_MAXMIN);
    return Run(f, nullptr, Check::Status);
}

}  // extern "C"
