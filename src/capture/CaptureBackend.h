#pragma once

#include <memory>

#include "CaptureFile.h"
#include "HidBackend.h"

namespace nimbary {

// Wraps another backend and writes every report that crosses it into a
// capture file: the frame of each output report, the 64 bytes of each input
// report (stale ones thrown away by a flush included).
class CaptureBackend : public HidBackend {
public:
    CaptureBackend(HidBackend& inner, std::shared_ptr<CaptureWriter> writer)
        : inner_(inner), writer_(std::move(writer)) {}

    std::vector<HidDeviceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

private:
    HidBackend& inner_;
    std::shared_ptr<CaptureWriter> writer_;
};

}  // namespace nimbary
