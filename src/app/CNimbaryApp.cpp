#include "CNimbaryApp.h"

#include <QCoreApplication>
#include <QScreen>

#include "CAboutDlg.h"
#include "CDebug.h"
#include "CHistory.h"
#include "CHistoryManage.h"
#include "CLanguage.h"
#include "DataFolder.h"
#include "GuiThread.h"
#include "MqttSettings.h"
#include "StringTable.h"

namespace nimbary {

CNimbaryApp::CNimbaryApp(HidBackend& backend, DeviceNoticeSource* notices, const QString& dataDir,
                         const std::string& lockFile, Messages& messages)
    : messages_(messages),
      dataDir_(dataDir),
      doc_(backend, messages, lockFile),
      frame_(dataDir),
      view_(doc_, &frame_),
      notices_(notices) {
    doc_.OpenDatabase(DatabasePath(dataDir).toStdString());
    frame_.SetView(&view_);
    doc_.Usb().SetSink(&view_);
    doc_.onStatus = [this](int kind, int64_t value, const std::string& text) {
        PostToGuiThread(&frame_, [this, kind, value, t = QString::fromStdString(text)] {
            frame_.ShowStatus(kind, value, t);
        });
    };
    // Settings that cannot be used are said once, and nothing is published.
    MqttConfig mqtt;
    const std::string mqttError = ReadMqttSettings(dataDir, mqtt);
    if (!mqttError.empty())
        messages_.Show(text::Format(2177, {mqttError}), MessageIcon::Warning);
    else if (mqtt.Enabled())
        doc_.StartPublishing(mqtt);
    QObject::connect(&frame_, &CMainFrame::relayoutRequested, [this] { view_.ReloadTexts(true); });
    QObject::connect(&frame_, &CMainFrame::commandTriggered, [this, dataDir](int id) {
        if (view_.OnCommand(id)) return;
        if (id == ID_APP_EXIT) {
            frame_.close();
        } else if (id == ID_HISTORY_VIEW) {
            CHistory history(doc_.Database(), doc_.UserMessages(), saveDialog_, view_.DeviceId(),
                             &frame_);
            history.exec();
        } else if (id == ID_APP_ABOUT) {
            CAboutDlg about(dataDir, &frame_);
            about.exec();
        } else if (id == ID_LANGUAGE) {
            CLanguage language(
                static_cast<int>(text::CurrentLanguage()),
                [this](int chosen) { SwitchLanguage(chosen); }, &frame_);
            language.exec();
        } else if (id == ID_HISTORY_MANAGE) {
            ShowHistoryManage();
        } else if (id == ID_DEBUG) {
            ShowDebug();
        }
    });
}

void CNimbaryApp::SwitchLanguage(int language) {
    const bool saved = ApplyLanguage(language, true, dataDir_);
    frame_.RefreshMenuTexts(true);
    // Said in the new language: the switch itself has happened.
    if (!saved)
        messages_.Show(text::Format(2125, {IniPath(dataDir_).toStdString()}), MessageIcon::Warning);
}

int DocHistoryCommands::Run(Kind kind, uint32_t devId, std::chrono::milliseconds wait) {
    static_assert(
        int(HistoryCommands::DeleteDatabaseRecords) == int(HistoryCommand::DeleteDatabaseRecords) &&
        int(HistoryCommands::ClearStationMemory) == int(HistoryCommand::ClearStationMemory));
    return doc_.RunHistoryCommand(static_cast<HistoryCommand::Kind>(kind), devId, wait);
}

void CNimbaryApp::ShowHistoryManage() {
    // The connection as it is now, not as it may become while the dialog is open.
    CHistoryManage manage(doc_.Database(), doc_.Usb().Connected() != 0, view_.DeviceId(), commands_,
                          messages_, &frame_);
    manage.exec();
}

void CNimbaryApp::ShowDebug() {
    StationDataSource station(doc_.Station());
    CDebug debug(station, messages_, saveDialog_, &frame_);
    debug.exec();
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
