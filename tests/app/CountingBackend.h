#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "HidBackend.h"

namespace nimbary {

// Passes everything through and remembers the command code of every request.
class CountingBackend : public HidBackend {
public:
    explicit CountingBackend(HidBackend& inner) : inner_(inner) {}

    std::vector<HidDeviceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        auto dev = inner_.Open(path);
        if (!dev) return nullptr;
        return std::make_unique<Device>(std::move(dev), *this);
    }

    std::vector<uint8_t> Codes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return codes_;
    }
    // Called with each request's command code on the thread that sends it,
    // before the request goes out.
    void OnRequest(std::function<void(uint8_t code)> hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        onRequest_ = std::move(hook);
    }
    int CountOf(uint8_t code) {
        int n = 0;
        for (uint8_t c : Codes()) n += c == code;
        return n;
    }

private:
    class Device : public HidDevice {
    public:
        Device(std::unique_ptr<HidDevice> d, CountingBackend& owner)
            : d_(std::move(d)), owner_(owner) {}
        HidStatus Write(const uint8_t (&report)[kOutputReportSize], int timeoutMs) override {
            {
                std::lock_guard<std::mutex> lock(owner_.mutex_);
                owner_.codes_.push_back(report[2]);
                if (owner_.onRequest_) owner_.onRequest_(report[2]);
            }
            return d_->Write(report, timeoutMs);
        }
        HidStatus Read(uint8_t (&data)[kReportSize], int timeoutMs) override {
            return d_->Read(data, timeoutMs);
        }

    private:
        std::unique_ptr<HidDevice> d_;
        CountingBackend& owner_;
    };

    HidBackend& inner_;
    std::mutex mutex_;
    std::vector<uint8_t> codes_;
    std::function<void(uint8_t)> onRequest_;
};

}  // namespace nimbary
