#pragma once

#include <QDialog>
#include <QTimer>
#include <map>

#include "HistorySource.h"
#include "MemoryMonitor.h"
#include "Messages.h"

namespace nimbary {

class ReplacingFile;
class SaveDialog;

// The memory debug dialog, a service tool: once a second it shows the
// station's memory status and the oldest block's rain header, warning when
// that header jumps; Read FAT and Read Data dump the block table and the
// data area into files, raw bytes in address order.
class CDebug : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBlockTableBytes = 1024;
    static constexpr int kDataBytes = 64256;  // asked for whatever size the station reports

    // None is owned.
    CDebug(HistorySource& station, Messages& messages, SaveDialog& saveDialog,
           QWidget* parent = nullptr);

    // The timer's work: one look at the memory, then the lines redrawn.
    void Tick();
    // The line last written at y, empty when none.
    QString LineAt(int y) const;

    // Read FAT (1161) and Read Data (1162): ask for a file and dump into it.
    void ReadFat();
    void ReadData();
    // The dumps into a chosen file, with their messages. A data dump the
    // station breaks off keeps the earlier file; what was read goes, if the
    // user wants it, into IncompleteDumpPath(path).
    void DumpBlockTable(const QString& path);
    void DumpDataArea(const QString& path);
    static QString IncompleteDumpPath(const QString& path);

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    // False, with the message shown, when the file cannot be made or written.
    bool CreateDump(ReplacingFile& file, const QString& path);
    bool FinishDump(ReplacingFile& file, const QString& path, const QByteArray& bytes);

    HistorySource& station_;
    Messages& messages_;
    SaveDialog& saveDialog_;
    MemoryMonitor monitor_;
    QTimer timer_;
    bool busy_ = false;  // a tick is running; its message box must not start another
    std::map<int, QString> lines_;
};

}  // namespace nimbary
