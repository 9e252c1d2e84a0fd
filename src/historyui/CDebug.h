#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <map>

#include "HistorySource.h"
#include "MemoryMonitor.h"
#include "Messages.h"

namespace nimbary {

// The memory debug dialog, a service tool: once a second it shows the
// station's memory status and the oldest block's rain header, warning when
// that header jumps; Read FAT and Read Data dump the block table and the
// data area into files, raw bytes in address order.
class CDebug : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBlockTableBytes = 1024;
    static constexpr int kDataBytes = 64256;  // asked for whatever size the station reports

    // Neither is owned.
    CDebug(HistorySource& station, Messages& messages, QWidget* parent = nullptr);

    // The save dialog: the path chosen for a dump, or empty for Cancel.
    // Tests answer it themselves.
    std::function<QString(const QString& suggested)> choosePath;

    // The timer's work: one look at the memory, then the lines redrawn.
    void Tick();
    // The line last written at y, empty when none.
    QString LineAt(int y) const;

    // Read FAT (1161) and Read Data (1162): ask for a file and dump into it.
    void ReadFat();
    void ReadData();
    // The dumps into a chosen file, with their messages.
    void DumpBlockTable(const QString& path);
    void DumpDataArea(const QString& path);

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    HistorySource& station_;
    Messages& messages_;
    MemoryMonitor monitor_;
    QTimer timer_;
    bool busy_ = false;  // a tick is running; its message box must not start another
    std::map<int, QString> lines_;
};

}  // namespace nimbary
