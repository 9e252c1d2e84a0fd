#pragma once

#include <memory>
#include <string>
#include <vector>

#include "HidBackend.h"

namespace nimbary {

// The real HID backend: hidapi over hidraw. No protocol logic here.
//
// Time-outs: reads honour theirs through hid_read_timeout. hidraw has no
// write time-out: hid_write is a synchronous write() that the kernel turns
// into one USB transfer, which it bounds itself (5 s for the interrupt or
// control transfer). A station that is present takes the 64-byte report
// within a millisecond or two; one that is unplugged fails the write at once
// (ENODEV). So the 50 ms asked for is not enforced here, and a write can only
// block long on a wedged device, never forever.
//
// Devices opened here must be closed before the backend is destroyed.
class HidApiBackend : public HidBackend {
public:
    HidApiBackend();
    ~HidApiBackend() override;
    HidApiBackend(const HidApiBackend&) = delete;
    HidApiBackend& operator=(const HidApiBackend&) = delete;

    // False when hidapi could not be initialised; the backend then finds
    // nothing.
    bool Ok() const { return ok_; }

    std::vector<HidDeviceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

private:
    bool ok_ = false;
};

}  // namespace nimbary
