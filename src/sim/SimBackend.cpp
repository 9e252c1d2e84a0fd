#include "SimBackend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "SimChaos.h"
#include "SimWire.h"

namespace nimbary::sim {

namespace {

using Steady = std::chrono::steady_clock;

// hidraw keeps at most this many input reports per reader.
constexpr size_t kMaxQueuedReports = 64;

struct Pending {
    std::array<uint8_t, 64> data;
    Steady::time_point readyAt;
};

// One open handle's input queue.
struct Port {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Pending> queue;
    bool gone = false;
};

}  // namespace

struct SimBackend::Core {
    struct Device {
        int id = 0;
        HidDeviceInfo info;
        bool station = false;
        bool openable = true;
        bool plugged = true;
        std::vector<std::weak_ptr<Port>> ports;
    };

    mutable std::mutex mutex;
    std::shared_ptr<SimStation> station;
    FaultInjector faults;
    std::vector<Device> devices;
    int nextId = 1;

    // Notices.
    std::mutex noticeMutex;
    std::condition_variable noticeCv;
    DeviceNotices notices;
    std::function<void(std::function<void()>)> poster;
    std::deque<std::function<void()>> pending;
    int inFlight = 0;
    bool stopped = false;
    std::thread dispatcher;

    Device* Find(const std::string& path) {
        for (Device& d : devices)
            if (d.info.path == path) return &d;
        return nullptr;
    }
    Device* FindId(int id) {
        for (Device& d : devices)
            if (d.id == id) return &d;
        return nullptr;
    }

    void Post(bool arrival, const std::string& path) {
        std::function<void()> fn;
        std::function<void(std::function<void()>)> post;
        {
            std::lock_guard<std::mutex> lock(noticeMutex);
            if (stopped) return;
            auto cb = arrival ? notices.arrived : notices.removed;
            if (!cb) return;
            fn = [cb, path] { cb(path); };
            if (!poster) {
                pending.push_back(std::move(fn));
                if (!dispatcher.joinable()) dispatcher = std::thread([this] { Dispatch(); });
                noticeCv.notify_all();
                return;
            }
            post = poster;
        }
        post(std::move(fn));
    }

    void Dispatch() {
        std::unique_lock<std::mutex> lock(noticeMutex);
        for (;;) {
            noticeCv.wait(lock, [this] { return stopped || !pending.empty(); });
            if (pending.empty()) return;  // stopped
            std::function<void()> fn = std::move(pending.front());
            pending.pop_front();
            ++inFlight;
            lock.unlock();
            fn();
            lock.lock();
            --inFlight;
            noticeCv.notify_all();
        }
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(noticeMutex);
            stopped = true;
            pending.clear();
            noticeCv.notify_all();
        }
        if (dispatcher.joinable()) {
            if (dispatcher.get_id() == std::this_thread::get_id())
                dispatcher.detach();
            else
                dispatcher.join();
        }
    }

    // Caller holds `mutex`.
    void Disconnect(Device& d) {
        d.plugged = false;
        for (auto& w : d.ports) {
            if (auto p = w.lock()) {
                std::lock_guard<std::mutex> lock(p->mutex);
                p->gone = true;
                p->queue.clear();
                p->cv.notify_all();
            }
        }
        d.ports.clear();
    }

    void Deliver(int deviceId, const std::vector<SimReport>& reports) {
        std::vector<std::shared_ptr<Port>> ports;
        {
            std::lock_guard<std::mutex> lock(mutex);
            Device* d = FindId(deviceId);
            if (!d || !d->plugged) return;
            for (auto& w : d->ports)
                if (auto p = w.lock()) ports.push_back(p);
        }
        const auto now = Steady::now();
        for (auto& p : ports) {
            std::lock_guard<std::mutex> lock(p->mutex);
            if (p->gone) continue;
            for (const SimReport& r : reports) {
                if (p->queue.size() >= kMaxQueuedReports) break;  // the kernel drops them too
                Pending item{r.data, now + std::chrono::milliseconds(r.delayMs)};
                // Reports arrive in the order they become ready.
                auto at = std::upper_bound(
                    p->queue.begin(), p->queue.end(), item,
                    [](const Pending& a, const Pending& b) { return a.readyAt < b.readyAt; });
                p->queue.insert(at, item);
            }
            p->cv.notify_all();
        }
    }
};

namespace {

class SimHandle : public HidDevice {
public:
    SimHandle(std::shared_ptr<SimBackend::Core> core, std::shared_ptr<Port> port, int deviceId,
              bool station)
        : core_(std::move(core)), port_(std::move(port)), deviceId_(deviceId), station_(station) {}

    HidStatus Write(const uint8_t (&report)[kOutputReportSize], int) override {
        {
            std::lock_guard<std::mutex> lock(port_->mutex);
            if (port_->gone) return HidStatus::Error;
        }
        if (!station_) return HidStatus::Ok;  // a decoy takes anything and says nothing

        const uint8_t* frame = report + 1;
        const std::optional<StationRequest> req = SimStation::Parse(frame, kReportSize);
        if (!req) return HidStatus::Ok;  // the station ignores what it cannot read

        Fault fault{};
        const bool faulty =
            core_->faults.Pick(req->code, req->frame[2], SimStation::ReplyLength(*req), fault);
        if (faulty && fault == Fault::NoReply) return HidStatus::Ok;
        if (faulty && fault == Fault::UnplugMidExchange) {
            std::string path;
            {
                std::lock_guard<std::mutex> lock(core_->mutex);
                SimBackend::Core::Device* d = core_->FindId(deviceId_);
                if (d && d->plugged) {
                    core_->Disconnect(*d);
                    path = d->info.path;
                }
            }
            if (!path.empty()) core_->Post(false, path);
            return HidStatus::Ok;
        }
        std::vector<uint8_t> reply;
        if (faulty && fault == Fault::WrongStatus) {
            reply = NewFrame(4, req->code);  // refused: nothing carried out
            SealFrame(reply);
        } else {
            reply = core_->station->Execute(*req);
        }
        core_->Deliver(deviceId_, core_->faults.Shape(reply, faulty ? &fault : nullptr));
        return HidStatus::Ok;
    }

    HidStatus Read(uint8_t (&data)[kReportSize], int timeoutMs) override {
        std::unique_lock<std::mutex> lock(port_->mutex);
        const auto deadline = Steady::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
        for (;;) {
            if (port_->gone) return HidStatus::Error;
            const auto now = Steady::now();
            if (!port_->queue.empty() && port_->queue.front().readyAt <= now) {
                std::copy(port_->queue.front().data.begin(), port_->queue.front().data.end(), data);
                port_->queue.pop_front();
                return HidStatus::Ok;
            }
            if (now >= deadline) return HidStatus::Timeout;
            auto wake = deadline;
            if (!port_->queue.empty()) wake = std::min(wake, port_->queue.front().readyAt);
            port_->cv.wait_until(lock, wake);
        }
    }

private:
    std::shared_ptr<SimBackend::Core> core_;
    std::shared_ptr<Port> port_;
    int deviceId_;
    bool station_;
};

}  // namespace

SimBackend::SimBackend(std::shared_ptr<SimStation> station) : core_(std::make_shared<Core>()) {
    core_->station = std::move(station);
    Core::Device d;
    d.id = core_->nextId++;
    d.info = {kStationPath, kVendor, kProduct, kVersion};
    d.station = true;
    core_->devices.push_back(d);
}

SimBackend::~SimBackend() {
    chaos_.reset();  // its thread plugs and unplugs through this backend
    core_->Stop();
}

void SimBackend::SetChaos(std::unique_ptr<SimChaos> chaos) {
    chaos_ = std::move(chaos);
}

std::vector<HidDeviceInfo> SimBackend::Enumerate() {
    std::lock_guard<std::mutex> lock(core_->mutex);
    std::vector<HidDeviceInfo> out;
    for (const Core::Device& d : core_->devices)
        if (d.plugged) out.push_back(d.info);
    return out;
}

std::unique_ptr<HidDevice> SimBackend::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(core_->mutex);
    Core::Device* d = core_->Find(path);
    if (!d || !d->plugged || !d->openable) return nullptr;
    auto port = std::make_shared<Port>();
    // Forget handles that were closed.
    d->ports.erase(std::remove_if(d->ports.begin(), d->ports.end(),
                                  [](const std::weak_ptr<Port>& w) { return w.expired(); }),
                   d->ports.end());
    d->ports.push_back(port);
    return std::make_unique<SimHandle>(core_, port, d->id, d->station);
}

SimStation& SimBackend::Station() {
    return *core_->station;
}
std::shared_ptr<SimStation> SimBackend::StationPtr() {
    return core_->station;
}
FaultInjector& SimBackend::Faults() {
    return core_->faults;
}

bool SimBackend::Watch(DeviceNotices notices) {
    std::lock_guard<std::mutex> lock(core_->noticeMutex);
    core_->notices = std::move(notices);
    return true;
}

void SimBackend::SetNoticePoster(std::function<void(std::function<void()>)> poster) {
    std::lock_guard<std::mutex> lock(core_->noticeMutex);
    core_->poster = std::move(poster);
}

void SimBackend::WaitForNotices() {
    std::unique_lock<std::mutex> lock(core_->noticeMutex);
    if (core_->dispatcher.joinable() && core_->dispatcher.get_id() == std::this_thread::get_id())
        return;  // called from a notice: waiting would wait for itself
    core_->noticeCv.wait(lock, [this] {
        return core_->stopped || (core_->pending.empty() && core_->inFlight == 0);
    });
}

void SimBackend::Plug(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        Core::Device* d = core_->Find(path);
        if (!d || d->plugged) return;
        d->plugged = true;
    }
    core_->Post(true, path);
}

void SimBackend::Unplug(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        Core::Device* d = core_->Find(path);
        if (!d || !d->plugged) return;
        core_->Disconnect(*d);
    }
    core_->Post(false, path);
}

bool SimBackend::Plugged(const std::string& path) const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    const Core::Device* d = core_->Find(path);
    return d && d->plugged;
}

std::string SimBackend::AddDecoy(DecoyKind kind, bool beforeStation) {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        Core::Device d;
        d.id = core_->nextId++;
        d.info.path = "sim:decoy" + std::to_string(d.id);
        switch (kind) {
            case DecoyKind::WrongVersion:
                d.info = {d.info.path, kVendor, kProduct, 0x0101};
                break;
            case DecoyKind::Unopenable:
                d.info = {d.info.path, kVendor, kProduct, kVersion};
                d.openable = false;
                break;
            case DecoyKind::OtherProduct:
                d.info = {d.info.path, 0x046D, 0xC52B, 0x1201};
                break;
        }
        path = d.info.path;
        auto at = core_->devices.end();
        if (beforeStation)
            at = std::find_if(core_->devices.begin(), core_->devices.end(),
                              [](const Core::Device& x) { return x.station; });
        core_->devices.insert(at, d);
    }
    core_->Post(true, path);
    return path;
}

int SimBackend::OpenStationHandles() const {
    std::lock_guard<std::mutex> lock(core_->mutex);
    int n = 0;
    for (const Core::Device& d : core_->devices)
        if (d.station)
            for (const auto& w : d.ports)
                if (!w.expired()) ++n;
    return n;
}

}  // namespace nimbary::sim
