#include "GuiThread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <deque>
#include <mutex>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#endif

namespace nimbary {
namespace {

// The GUI thread's end of the hand-over. A worker queues its call under the
// mutex and wakes the GUI thread through a pipe: a worker calls nothing of
// Qt, so nothing that Qt allocates or locks passes between the threads.
class Relay : public QObject {
public:
    Relay() {
#ifdef Q_OS_UNIX
        if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) == 0) {
            auto* n = new QSocketNotifier(wake_[0], QSocketNotifier::Read, this);
            connect(n, &QSocketNotifier::activated, this, [this] {
                char drain[64];
                while (read(wake_[0], drain, sizeof drain) > 0) {
                }
                Run();
            });
        }
#endif
    }

    void Post(QObject* context, std::function<void()> f) {
        bool wake = false;
        {
            std::lock_guard<std::mutex> lock(m_);
            wake = calls_.empty();
            calls_.push_back({context, std::move(f)});
        }
        if (!wake) return;
#ifdef Q_OS_UNIX
        if (wake_[1] >= 0) {
            const char one = 1;
            while (write(wake_[1], &one, 1) < 0 && errno == EINTR) {
            }
            return;
        }
#endif
        QMetaObject::invokeMethod(this, [this] { Run(); }, Qt::QueuedConnection);
    }

private:
    void Run() {
        std::deque<Call> calls;
        {
            std::lock_guard<std::mutex> lock(m_);
            calls.swap(calls_);
        }
        for (Call& c : calls)
            if (c.context) c.f();
    }

    struct Call {
        QPointer<QObject> context;
        std::function<void()> f;
    };
    std::mutex m_;
    std::deque<Call> calls_;
    int wake_[2] = {-1, -1};
};

// Made by the GUI thread as the application object is made, before any
// worker can post; gone with the application object, or with this code when
// it is a plug-in's and the plug-in is unloaded first.
Relay* relay = nullptr;
void DropRelay() {
    delete relay;
    relay = nullptr;
}
void MakeRelay() {
    if (relay) return;
    relay = new Relay;
    qAddPostRoutine(DropRelay);
}
Q_COREAPP_STARTUP_FUNCTION(MakeRelay)
struct Unload {
    ~Unload() {
        if (!relay) return;
        qRemovePostRoutine(DropRelay);
        DropRelay();
    }
} unload;

}  // namespace

void PostToGuiThread(QObject* context, std::function<void()> f, bool later) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !context || !relay) return;
    if (!later && QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    relay->Post(context, std::move(f));
}

}  // namespace nimbary
