#include "HidApiBackend.h"

#include <hidapi.h>

#include <algorithm>

namespace nimbary {

namespace {

class HidApiDevice : public HidDevice {
public:
    explicit HidApiDevice(hid_device* handle) : handle_(handle) {}
    ~HidApiDevice() override { hid_close(handle_); }
    HidApiDevice(const HidApiDevice&) = delete;
    HidApiDevice& operator=(const HidApiDevice&) = delete;

    HidStatus Write(const uint8_t (&report)[kOutputReportSize], int /*timeoutMs*/) override {
        const int n = hid_write(handle_, report, kOutputReportSize);
        return n == kOutputReportSize ? HidStatus::Ok : HidStatus::Error;
    }

    HidStatus Read(uint8_t (&data)[kReportSize], int timeoutMs) override {
        // The station's reports are unnumbered: hidraw hands over the 64
        // data bytes without the report ID.
        std::fill(std::begin(data), std::end(data), 0);
        const int n = hid_read_timeout(handle_, data, kReportSize, timeoutMs);
        if (n > 0) return HidStatus::Ok;
        return n == 0 ? HidStatus::Timeout : HidStatus::Error;
    }

private:
    hid_device* handle_;
};

}  // namespace

HidApiBackend::HidApiBackend() : ok_(hid_init() == 0) {}

HidApiBackend::~HidApiBackend() {
    if (ok_) hid_exit();
}

std::vector<HidDeviceInfo> HidApiBackend::Enumerate() {
    std::vector<HidDeviceInfo> found;
    if (!ok_) return found;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* d = list; d; d = d->next) {
        HidDeviceInfo info;
        info.path = d->path ? d->path : "";
        info.vendor = d->vendor_id;
        info.product = d->product_id;
        info.release = d->release_number;
        info.lockPath = info.path;  // hidapi's hidraw backend names the node itself
        found.push_back(std::move(info));
    }
    hid_free_enumeration(list);
    return found;
}

std::unique_ptr<HidDevice> HidApiBackend::Open(const std::string& path) {
    if (!ok_) return nullptr;
    hid_device* handle = hid_open_path(path.c_str());
    if (!handle) return nullptr;
    return std::make_unique<HidApiDevice>(handle);
}

}  // namespace nimbary
