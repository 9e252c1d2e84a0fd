#include "WorkProgressDialog.h"

#include <QEventLoop>
#include <QTimer>
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
    progress_.done = 0;
    progress_.total = 0;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(100);
    connect(&tick, &QTimer::timeout, this, [this] {
        if (progress_.total > 0 && maximum() != progress_.total) setRange(0, progress_.total);
        if (maximum() > 0) setValue(progress_.done);
    });
    const auto cancel =
        connect(this, &QProgressDialog::canceled, this, [this] { progress_.cancel = true; });
    std::thread worker([&] {
        work(progress_);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    tick.start();
    setValue(0);  // starts the clock of the delayed show
    loop.exec();
    // Left early (the program is quitting): the work stops.
    progress_.cancel = true;
    worker.join();
    tick.stop();
    disconnect(cancel);
    // The delayed show has a timer of its own, which would otherwise still
    // bring the window up over whatever comes next (the export's message).
    reset();
    hide();
}

}  // namespace nimbary
