#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Encoding.h"
#include "HidBackend.h"
#include "Protocol.h"

// A HID backend driven by a script at the level of 64-byte reports: it
// records what is written and answers with scripted input reports. Nothing
// sleeps: an empty queue answers "timeout" at once, whatever time-out was
// asked for, and the time-out is recorded so tests can check it.
namespace nimbary::test {

using Report = std::array<uint8_t, kReportSize>;

// One answer to a read: a report, or a Timeout or Error in place of one.
struct Input {
    HidStatus status = HidStatus::Ok;
    Report data{};
};

inline Input TimeoutInput() {
    return {HidStatus::Timeout, {}};
}
inline Input ErrorInput() {
    return {HidStatus::Error, {}};
}

// Holds a write until opened: a station that does not take its report.
class Gate {
public:
    void Pass() {
        std::unique_lock<std::mutex> lock(m_);
        entered_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return open_; });
    }
    bool WaitEntered(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, limit, [this] { return entered_; });
    }
    void Open() {
        {
            std::lock_guard<std::mutex> lock(m_);
            open_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool entered_ = false, open_ = false;
};

// The state of one scripted device, shared with the test after the
// transport has taken the HidDevice.
struct DeviceScript {
    std::mutex mutex;
    std::deque<Input> queued;                // input already waiting (stale reports)
    std::deque<std::vector<Input>> replies;  // queued by the writes, one entry per write
    // Answers a write when `replies` is empty; gets the 64 frame bytes.
    std::function<std::vector<Input>(const uint8_t* frame)> responder;
    HidStatus writeStatus = HidStatus::Ok;
    bool gone = false;                 // unplugged: every call fails with Error
    std::shared_ptr<Gate> stallWrite;  // when set, every write waits for it to open

    std::vector<std::vector<uint8_t>> writes;  // every output report, 65 bytes
    std::vector<std::string> events;           // "W50", "R1200", "R0" ... in order
    int openHandles = 0;

    // The frame bytes (report ID dropped) of write i.
    std::vector<uint8_t> Written(size_t i) const {
        return std::vector<uint8_t>(writes.at(i).begin() + 1, writes.at(i).end());
    }
};

class ScriptedDevice : public HidDevice {
public:
    explicit ScriptedDevice(std::shared_ptr<DeviceScript> s) : s_(std::move(s)) {
        std::lock_guard<std::mutex> lock(s_->mutex);
        ++s_->openHandles;
    }
    ~ScriptedDevice() override {
        std::lock_guard<std::mutex> lock(s_->mutex);
        --s_->openHandles;
    }

    HidStatus Write(const uint8_t (&report)[kOutputReportSize], int timeoutMs) override {
        if (s_->stallWrite) s_->stallWrite->Pass();
        std::lock_guard<std::mutex> lock(s_->mutex);
        s_->events.push_back("W" + std::to_string(timeoutMs));
        s_->writes.emplace_back(report, report + kOutputReportSize);
        if (s_->gone) return HidStatus::Error;
        if (s_->writeStatus != HidStatus::Ok) return s_->writeStatus;
        std::vector<Input> answer;
        if (!s_->replies.empty()) {
            answer = std::move(s_->replies.front());
            s_->replies.pop_front();
        } else if (s_->responder) {
            answer = s_->responder(report + 1);
        }
        s_->queued.insert(s_->queued.end(), answer.begin(), answer.end());
        return HidStatus::Ok;
    }

    HidStatus Read(uint8_t (&data)[kReportSize], int timeoutMs) override {
        std::lock_guard<std::mutex> lock(s_->mutex);
        s_->events.push_back("R" + std::to_string(timeoutMs));
        if (s_->gone) return HidStatus::Error;
        if (s_->queued.empty()) return HidStatus::Timeout;
        const Input in = s_->queued.front();
        s_->queued.pop_front();
        if (in.status == HidStatus::Ok) std::copy(in.data.begin(), in.data.end(), data);
        return in.status;
    }

private:
    std::shared_ptr<DeviceScript> s_;
};

class ScriptedBackend : public HidBackend {
public:
    struct Entry {
        HidDeviceInfo info;
        bool openable = true;
        std::shared_ptr<DeviceScript> script = std::make_shared<DeviceScript>();
    };

    // A device with the station's identity unless told otherwise.
    std::shared_ptr<DeviceScript> Add(const std::string& path, uint16_t release = 0x0100,
                                      bool openable = true, uint16_t vendor = 0x1130,
                                      uint16_t product = 0x0829) {
        Entry e;
        e.info = {path, vendor, product, release};
        e.openable = openable;
        entries.push_back(e);
        return e.script;
    }
    void Remove(const std::string& path) {
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const Entry& e) { return e.info.path == path; }),
                      entries.end());
    }

    std::vector<HidDeviceInfo> Enumerate() override {
        std::vector<HidDeviceInfo> list;
        for (const Entry& e : entries) list.push_back(e.info);
        return list;
    }

    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        opened.push_back(path);
        for (const Entry& e : entries)
            if (e.info.path == path && e.openable)
                return std::make_unique<ScriptedDevice>(e.script);
        return nullptr;
    }

    std::vector<Entry> entries;
    std::vector<std::string> opened;  // every path the transport tried to open
};

// --- reply frames ---

// A reply frame: length byte, code, `data` from byte 2, checksum. `length`
// 0 means just long enough; a longer length zero-fills.
inline Frame MakeReply(uint8_t code, const std::vector<uint8_t>& data, size_t length = 0) {
    Frame f{};
    if (length == 0) length = data.size() + 3;
    f[0] = static_cast<uint8_t>(length);
    f[1] = code;
    std::copy(data.begin(), data.end(), f.begin() + 2);
    f[length - 1] = Checksum(f.data(), length - 1);
    return f;
}

// Recomputes the checksum after a test changed the frame's fields.
inline Frame& Reseal(Frame& f) {
    f[f[0] - 1] = Checksum(f.data(), f[0] - 1u);
    return f;
}

// The input reports that carry a frame: one, or two when its length byte is
// above 64 (as the station sends them; no check of the length here).
inline std::vector<Input> Reports(const Frame& f) {
    std::vector<Input> in(f[0] > kReportSize ? 2 : 1);
    for (size_t r = 0; r < in.size(); ++r)
        std::copy(f.begin() + r * kReportSize, f.begin() + (r + 1) * kReportSize,
                  in[r].data.begin());
    return in;
}

inline std::vector<uint8_t> Bytes(const Frame& f, size_t n) {
    return std::vector<uint8_t>(f.begin(), f.begin() + n);
}

// An object's bytes, padding included: an operation that must leave an
// object exactly as it was leaves these unchanged.
template <class T>
std::vector<uint8_t> RawBytes(const T& object) {
    const auto* p = reinterpret_cast<const uint8_t*>(&object);
    return std::vector<uint8_t>(p, p + sizeof(T));
}

}  // namespace nimbary::test
