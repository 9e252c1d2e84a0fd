#include "UdevWatcher.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstring>
#include <utility>

namespace nimbary {

void UdevWatcher::UdevUnref::operator()(udev* u) const {
    udev_unref(u);
}

void UdevWatcher::MonitorUnref::operator()(udev_monitor* m) const {
    udev_monitor_unref(m);
}

UdevWatcher::UdevWatcher() = default;

// Members go in reverse order: the notifier before the socket it watches.
UdevWatcher::~UdevWatcher() = default;

bool UdevWatcher::Watch(DeviceNotices notices) {
    notices_ = std::move(notices);
    if (notifier_) return true;

    std::unique_ptr<udev, UdevUnref> u(udev_new());
    if (!u) return false;
    // "udev" events come after the rules ran, so the node's permissions are
    // already those of the station rule when the arrival is handled.
    std::unique_ptr<udev_monitor, MonitorUnref> monitor(
        udev_monitor_new_from_netlink(u.get(), "udev"));
    if (!monitor) return false;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0)
        return false;
    const int fd = udev_monitor_get_fd(monitor.get());
    if (fd < 0) return false;

    udev_ = std::move(u);
    monitor_ = std::move(monitor);
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { OnReadable(); });
    return true;
}

void UdevWatcher::OnReadable() {
    // The monitor's socket is non-blocking: take every queued event. A copy of
    // the callbacks, since one of them may call Watch again.
    const DeviceNotices notices = notices_;
    while (udev_device* device = udev_monitor_receive_device(monitor_.get())) {
        Dispatch(notices, udev_device_get_action(device), udev_device_get_devnode(device));
        udev_device_unref(device);
    }
}

void UdevWatcher::Dispatch(const DeviceNotices& notices, const char* action, const char* devnode) {
    if (!action || !devnode) return;
    if (std::strcmp(action, "add") == 0) {
        if (notices.arrived) notices.arrived(devnode);
    } else if (std::strcmp(action, "remove") == 0) {
        if (notices.removed) notices.removed(devnode);
    }
}

}  // namespace nimbary
