#pragma once

#include <QDateTime>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>

#include "CNimbaryDoc.h"
#include "LiveDisplay.h"
#include "ManualResetEvent.h"
#include "PollStep.h"
#include "StationDataAccess.h"
#include "TextSource.h"

namespace nimbary {

class CMainFrame;

// The main view: the live display in an off-screen back buffer that the poll
// thread draws into under dataEvent and the GUI thread paints from.
class CNimbaryView : public QWidget, public PollTarget, public StationSink {
    Q_OBJECT
public:
    CNimbaryView(CNimbaryDoc& doc, CMainFrame* frame, QWidget* parent = nullptr);

    // Lays out the panels, loads the texts and looks for the station.
    void FirstUpdate();
    // Looks for the station (at start-up and at every arrival). While another
    // process holds it, says so in the status bar and looks again every
    // second, so the station is taken as soon as the other lets go.
    void LookForStation();
    // One poll tick, on the poll thread.
    void PollTick() override;

    // GUI thread: the transport's two notices.
    void OnStationOpened() override;
    void OnStationGone() override;
    // Texts in the current language; with redraw, a full redraw and the
    // connection state sent to the status bar again.
    void ReloadTexts(bool redraw);

    // GUI thread: the Setting, Alarm and Max / Min commands read from the
    // station, then run their dialog while the poll goes on drawing behind it.
    // False for a command the view does not run.
    bool OnCommand(int id);

    // The local time the tick works with; tests supply their own clock.
    void SetClock(std::function<QDateTime()> now) { now_ = std::move(now); }

    LiveDisplay& Display() { return display_; }
    uint32_t DeviceId() const { return deviceId_.load(); }
    int LastClockHour() const { return lastClockHour_.load(); }

    // What the ticks drew: full redraws, dirty-only draws, relayouts.
    struct DrawCounts {
        int full = 0, dirty = 0, relayout = 0, clockSet = 0;
    };
    DrawCounts Counts() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void SetClockIfDue();
    void UpdateCursor(const QPoint& pos);
    void PostStatusText(int id);  // pane 0, from any thread
    static constexpr int kSilentTicks = 3;
    // Under dataEvent: paints the whole display afresh into the back buffer.
    void RedrawAllLocked();

    CNimbaryDoc& doc_;
    CMainFrame* frame_;
    QTimer* lockRetry_;
    StringTableSource texts_;
    LiveDisplay display_;
    ManualResetEvent dataEvent_{true};
    StationDataAccess access_;  // the dialogs' way to the station, its writes under dataEvent_
    QImage back_;
    bool repaintAll_ = true;  // the next paint redraws the buffer in full

    PollStep poll_;  // what the display applied last; its copies are taken under dataEvent_
    std::atomic<int> needDeviceId_{1};
    std::atomic<uint32_t> deviceId_{0};
    std::atomic<int> lastClockHour_{30};
    int failedReads_ = 0;  // poll ticks in a row whose settings or reading failed
    std::function<QDateTime()> now_ = [] { return QDateTime::currentDateTime(); };

    mutable std::mutex countsMutex_;
    DrawCounts counts_;
};

}  // namespace nimbary
