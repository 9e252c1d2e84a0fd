#pragma once

#include <QProgressDialog>
#include <functional>

#include "HistoryExport.h"

namespace nimbary {

// Runs an export on a worker thread behind a progress dialog with Cancel:
// the window keeps painting and answering while a year is written.
class ExportProgressDialog : public QProgressDialog {
    Q_OBJECT
public:
    explicit ExportProgressDialog(QWidget* parent = nullptr);

    // Returns what `work` returned; Cancel asks it to stop through the
    // progress it is handed.
    ExportResult Run(const std::function<ExportResult(ExportProgress&)>& work);

private:
    ExportProgress progress_;
};

}  // namespace nimbary
