#pragma once

#include <memory>

#include "HidBackend.h"

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace nimbary {

// Device notices on Linux: a udev monitor on the hidraw subsystem whose
// socket is watched from the Qt event loop of the thread that calls Watch
// (the GUI thread), so the callbacks run there. Paths are the /dev/hidrawN
// nodes, the same paths the hidapi backend enumerates.
class UdevWatcher : public DeviceNoticeSource {
public:
    UdevWatcher();
    ~UdevWatcher() override;
    UdevWatcher(const UdevWatcher&) = delete;
    UdevWatcher& operator=(const UdevWatcher&) = delete;

    // False when udev cannot be reached (no netlink socket, say).
    bool Watch(DeviceNotices notices) override;
    bool Watching() const { return notifier_ != nullptr; }

    // Routes one udev event to the callbacks: "add" is an arrival, "remove" a
    // removal, anything else (change, bind, ...) is no notice.
    static void Dispatch(const DeviceNotices& notices, const char* action, const char* devnode);

private:
    void OnReadable();

    struct UdevUnref {
        void operator()(udev* u) const;
    };
    struct MonitorUnref {
        void operator()(udev_monitor* m) const;
    };
    std::unique_ptr<udev, UdevUnref> udev_;
    std::unique_ptr<udev_monitor, MonitorUnref> monitor_;
    std::unique_ptr<QSocketNotifier> notifier_;
    DeviceNotices notices_;
};

}  // namespace nimbary
