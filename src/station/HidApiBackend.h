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
// control transfer), and writing to the hidraw node ourselves would not help,
// as poll() calls a hidraw node writable at all times. A station that is
// present takes the 64-byte report within a millisecond or two; one that is
// unplugged fails the write at once (ENODEV). So the 50 ms asked for is not
// enforced here, and a write can only block long on a wedged device, never
// forever; the transport's removal handling never waits for it (CUsb::OnRemoval).
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
