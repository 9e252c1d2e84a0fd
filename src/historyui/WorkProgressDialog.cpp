#include "WorkProgressDialog.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

#include "StringTable.h"

namespace nimbary {

WorkProgressDialog::WorkProgressDialog(const QString& label, QWidget* parent)
    : QProgressDialog(parent) {
    setWindowModality(Qt::WindowModal);
    setLabelText(label);
    setCancelButtonText(QString::fromStdString(text::Load(2065)));
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(kShowAfterMs);
    setRange(0, 0);
}

void WorkProgressDialog::Run(const std::function<void(WorkProgress&)>& work) {
    constexpr int kLookMs = 5;
    constexpr int kBarEvery = 20;  // looks: the bar moves every 100 ms
    progress_.done = 0;
    progress_.total = 0;
    std::atomic<bool> finished{false};
    QEventLoop loop;
    QTimer look;
    look.setInterval(kLookMs);
    int looks = 0;
    connect(&look, &QTimer::timeout, this, [&] {
        if (progress_.checkpoint.exchange(false)) emit checkpointReached();
        if (finished) {
            loop.quit();
            return;
        }
        if (++looks % kBarEvery) return;
        if (progress_.total > 0 && maximum() != progress_.total) setRange(0, progress_.total);
        if (maximum() > 0) setValue(progress_.done);
    });
    const auto cancel =
        connect(this, &QProgressDialog::canceled, this, [this] { progress_.cancel = true; });
    std::thread worker([&] {
        work(progress_);
        finished = true;
    });
    look.start();
    setValue(0);  // starts the clock of the delayed show
    loop.exec();
    // Left early (the program is quitting): the work stops.
    progress_.cancel = true;
    worker.join();
    look.stop();
    disconnect(cancel);
    if (progress_.checkpoint.exchange(false)) emit checkpointReached();
    // The delayed show has a timer of its own, which would otherwise still
    // bring the window up over whatever comes next (the export's message).
    reset();
    hide();
}

}  // namespace nimbary
