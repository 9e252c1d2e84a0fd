#pragma once

#include <QString>
#include <memory>
#include <string>

#include "CHistoryManage.h"
#include "CMainFrame.h"
#include "CNimbaryDoc.h"
#include "CNimbaryView.h"
#include "SaveDialog.h"

namespace nimbary {

// The document's history thread as the history-management dialog reaches it.
class DocHistoryCommands : public HistoryCommands {
public:
    explicit DocHistoryCommands(CNimbaryDoc& doc) : doc_(doc) {}
    int Run(Kind kind, uint32_t devId, std::chrono::milliseconds wait) override;

private:
    CNimbaryDoc& doc_;
};

// The program's parts wired together, in start-up order: the document with
// its database and threads, the main frame, the view, the device notices.
// main() and the tests build the same thing.
class CNimbaryApp {
public:
    // `notices` raises arrivals and removals (udev or the simulator); it may
    // be null. Everything given must outlive the object.
    CNimbaryApp(HidBackend& backend, DeviceNoticeSource* notices, const QString& dataDir,
                const std::string& lockFile, Messages& messages);
    ~CNimbaryApp();

    // Starts the threads, looks for the station, sizes, centres and shows
    // the frame (show = false leaves it hidden, for tests).
    void Start(bool show = true);
    // Ends the threads; the frame and view stay until destruction.
    void Stop();

    CNimbaryDoc& Doc() { return doc_; }
    CMainFrame& Frame() { return frame_; }
    CNimbaryView& View() { return view_; }

private:
    // Edit > Language's OK: the language saved, switched and shown at once.
    void SwitchLanguage(int language);
    void ShowHistoryManage();
    void ShowDebug();

    Messages& messages_;
    QString dataDir_;
    CNimbaryDoc doc_;
    CMainFrame frame_;
    CNimbaryView view_;
    DeviceNoticeSource* notices_;
    DocHistoryCommands commands_{doc_};
    QtSaveDialog saveDialog_;
};

}  // namespace nimbary
