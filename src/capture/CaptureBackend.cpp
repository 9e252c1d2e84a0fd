#include "CaptureBackend.h"

#include <algorithm>

namespace nimbary {

namespace {

class CaptureDevice : public HidDevice {
public:
    CaptureDevice(std::unique_ptr<HidDevice> inner, std::shared_ptr<CaptureWriter> writer)
        : inner_(std::move(inner)), writer_(std::move(writer)) {}

    HidStatus Write(const uint8_t (&report)[kOutputReportSize], int timeoutMs) override {
        const uint8_t* frame = report + 1;
        size_t n = std::clamp<size_t>(frame[0], 1, kReportSize);
        writer_->Output(frame, n);
        return inner_->Write(report, timeoutMs);
    }

    HidStatus Read(uint8_t (&data)[kReportSize], int timeoutMs) override {
        HidStatus s = inner_->Read(data, timeoutMs);
        if (s == HidStatus::Ok) writer_->Input(data);
        return s;
    }

private:
    std::unique_ptr<HidDevice> inner_;
    std::shared_ptr<CaptureWriter> writer_;
};

}  // namespace

std::unique_ptr<HidDevice> CaptureBackend::Open(const std::string& path) {
    std::unique_ptr<HidDevice> dev = inner_.Open(path);
    if (!dev) return nullptr;
    return std::make_unique<CaptureDevice>(std::move(dev), writer_);
}

}  // namespace nimbary
