#pragma once

#include <QDialog>
#include <chrono>
#include <cstdint>

#include "HistoryDb.h"
#include "Messages.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace nimbary {

// Clears history: a stored station's records and Device row in the
// database, or the connected station's own history memory. The work is done
// by the history thread, between download passes; the dialog hands it the
// command and waits a while for the answer.
// The history thread as the history-management dialog reaches it. The
// program answers through its document; tests answer themselves.
class HistoryCommands {
public:
    // The command kinds.
    enum Kind : int { DeleteDatabaseRecords = 0, ClearStationMemory = 1 };

    virtual ~HistoryCommands() = default;
    // Places a command for the history thread and waits up to `wait` for its
    // answer: 1 for success, 0 for failure or no answer in time. A late
    // answer still takes effect.
    virtual int Run(Kind kind, uint32_t devId, std::chrono::milliseconds wait) = 0;
};

class CHistoryManage : public QDialog {
    Q_OBJECT
public:
    using Kind = HistoryCommands::Kind;
    static constexpr std::chrono::milliseconds kCommandWait{5000};

    // `connected` and `devId` as they are when the dialog opens. Nothing
    // given is owned.
    CHistoryManage(HistoryDb& db, bool connected, uint32_t devId, HistoryCommands& commands,
                   Messages& messages, QWidget* parent = nullptr);

    // Clear in database (1119) and Clear in device (1120).
    void ClearDatabase();
    void ClearDevice();

private:
    // Runs the command with a wait cursor; true only for a result of 1.
    bool Run(Kind kind, uint32_t devId);

    HistoryCommands& commands_;
    Messages& messages_;
    QComboBox* list_;
    QLabel* station_;
};

}  // namespace nimbary
