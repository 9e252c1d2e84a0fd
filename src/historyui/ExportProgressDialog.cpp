#include "ExportProgressDialog.h"

#include <QEventLoop>
#include <QTimer>
#include <thread>

#include "StringTable.h"

namespace nimbary {

ExportProgressDialog::ExportProgressDialog(QWidget* parent) : QProgressDialog(parent) {
    setWindowModality(Qt::WindowModal);
    setLabelText(QString::fromStdString(text::Load(2022)));
    setCancelButtonText(QString::fromStdString(text::Load(2065)));
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(300);  // a small table is written before it would show
    setRange(0, 0);
}

ExportResult ExportProgressDialog::Run(const std::function<ExportResult(ExportProgress&)>& work) {
    ExportResult result;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(100);
    connect(&tick, &QTimer::timeout, this, [this] {
        if (progress_.total > 0 && maximum() != progress_.total) setRange(0, progress_.total);
        if (maximum() > 0) setValue(progress_.done);
    });
    connect(this, &QProgressDialog::canceled, this, [this] { progress_.cancel = true; });
    std::thread worker([&] {
        result = work(progress_);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    tick.start();
    setValue(0);  // starts the minimum-duration clock
    loop.exec();
    // Left early (the program is quitting): the export stops, the old file stays.
    progress_.cancel = true;
    worker.join();
    hide();
    return result;
}

}  // namespace nimbary
