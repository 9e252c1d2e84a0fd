#include "CNimbaryApp.h"

#include <QCoreApplication>
#include <QScreen>

#include "CAboutDlg.h"
#include "DataFolder.h"

namespace nimbary {

CNimbaryApp::CNimbaryApp(HidBackend& backend, DeviceNoticeSource* notices, const QString& dataDir,
                         const std::string& lockPath, Messages& messages)
    : doc_(backend, messages, lockPath), frame_(dataDir), view_(doc_, &frame_), notices_(notices) {
    doc_.OpenDatabase(DatabasePath(dataDir).toStdString());
    frame_.SetView(&view_);
    doc_.Usb().SetSink(&view_);
    doc_.onStatus = [this](int kind, int64_t value, const std::string& text) {
        QMetaObject::invokeMethod(&frame_, [this, kind, value, t = QString::fromStdString(text)] {
            frame_.ShowStatus(kind, value, t);
        });
    };
    QObject::connect(&frame_, &CMainFrame::relayoutRequested, [this] { view_.ReloadTexts(true); });
    QObject::connect(&frame_, &CMainFrame::commandTriggered, [this, dataDir](int id) {
        if (id == ID_APP_EXIT) {
            frame_.close();
        } else if (id == ID_APP_ABOUT) {
            CAboutDlg about(dataDir, &frame_);
            about.exec();
        }
    });
}

CNimbaryApp::~CNimbaryApp() {
    Stop();
    doc_.Usb().SetSink(nullptr);
}

void CNimbaryApp::Start(bool show) {
    if (notices_) {
        DeviceNotices n;
        n.arrived = [this](const std::string&) { view_.LookForStation(); };
        n.removed = [this](const std::string& path) { doc_.OnRemoval(path); };
        doc_.Usb().RegisterArrivals(*notices_, n);
    }
    // The wake-up an opened station gives the history thread counts whether
    // or not that thread has run yet.
    doc_.Start(&view_);
    view_.FirstUpdate();

    frame_.adjustSize();
    if (QScreen* screen = frame_.screen()) {
        QRect r = frame_.frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        frame_.move(r.topLeft());
    }
    if (show) frame_.show();
}

void CNimbaryApp::Stop() {
    doc_.Shutdown();
}

}  // namespace nimbary
