#pragma once

#include <QProgressDialog>
#include <functional>

#include "WorkProgress.h"

namespace nimbary {

// Runs a long piece of work (a table load, an export) on a worker thread
// behind a progress window with Cancel: the window keeps painting and
// answering meanwhile, and the progress window shows only for work that
// takes longer than kShowAfterMs. The window's thread looks at the work
// every few milliseconds through atomics alone, not through Qt's event
// queue, whose locks ThreadSanitizer cannot see in an uninstrumented Qt.
class WorkProgressDialog : public QProgressDialog {
    Q_OBJECT
public:
    static constexpr int kShowAfterMs = 500;

    // `label` is the window's text, "Update" or "Export".
    WorkProgressDialog(const QString& label, QWidget* parent = nullptr);

    // Returns once `work` has returned; Cancel asks it to stop through the
    // progress it is handed. Nothing of the progress window is left behind.
    void Run(const std::function<void(WorkProgress&)>& work);
    // What the work is handed; Cancel, or anyone, may ask it to stop.
    WorkProgress& Progress() { return progress_; }

signals:
    // On the window's thread, once the work has set its checkpoint.
    void checkpointReached();

private:
    WorkProgress progress_;
};

}  // namespace nimbary
