#pragma once

#include <QString>
#include <memory>
#include <string>

#include "MainWindow.h"
#include "NimbaryDoc.h"
#include "NimbaryView.h"

namespace nimbary {

// The program's parts wired together, in start-up order: the document with
// its database and threads, the main frame, the view, the device notices.
// main() and the tests build the same thing.
class NimbaryApp {
public:
    // `notices` raises arrivals and removals (udev or the simulator); it may
    // be null. Everything given must outlive the object.
    NimbaryApp(HidBackend& backend, DeviceNoticeSource* notices, const QString& dataDir,
               const std::string& lockPath, Messages& messages);
    ~NimbaryApp();

    // Starts the threads, looks for the station, sizes, centres and shows
    // the frame (show = false leaves it hidden, for tests).
    void Start(bool show = true);
    // Ends the threads; the frame and view stay until destruction.
    void Stop();

    NimbaryDoc& Doc() { return doc_; }
    MainWindow& Frame() { return frame_; }
    NimbaryView& View() { return view_; }

private:
    NimbaryDoc doc_;
    MainWindow frame_;
    NimbaryView view_;
    DeviceNoticeSource* notices_;
};

}  // namespace nimbary
