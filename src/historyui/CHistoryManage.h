#pragma once

#include <QDialog>
#include <chrono>
#include <cstdint>
#include <functional>

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
class CHistoryManage : public QDialog {
    Q_OBJECT
public:
    // The history command kinds.
    enum Kind : int { DeleteDatabaseRecords = 0, ClearStationMemory = 1 };
    // Places a command for the history thread and waits up to `wait` for its
    // answer: 1 for success, 0 for failure or no answer in time. A late
    // answer still takes effect.
    using CommandRunner =
        std::function<int(Kind kind, uint32_t devId, std::chrono::milliseconds wait)>;

    static constexpr std::chrono::milliseconds kCommandWait{5000};

    // `connected` and `devId` as they are when the dialog opens. Nothing
    // given is owned.
    CHistoryManage(HistoryDb& db, bool connected, uint32_t devId, CommandRunner run,
                   Messages& messages, QWidget* parent = nullptr);

    // Clear in database (1119) and Clear in device (1120).
    void ClearDatabase();
    void ClearDevice();

    // Tests wait less than the user does.
    void SetCommandWait(std::chrono::milliseconds wait) { wait_ = wait; }

private:
    // Runs the command with a wait cursor; true only for a result of 1.
    bool Run(Kind kind, uint32_t devId);

    CommandRunner run_;
    Messages& messages_;
    std::chrono::milliseconds wait_ = kCommandWait;
    QComboBox* list_;
    QLabel* station_;
};

}  // namespace nimbary
