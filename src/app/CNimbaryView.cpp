#include "CNimbaryView.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>

#include "CAlarm.h"
#include "CMainFrame.h"
#include "GuiThread.h"
#include "CMaxMin.h"
#include "CSetting.h"
#include "DisplayColors.h"
#include "Protocol.h"
#include "StringTable.h"

namespace nimbary {

CNimbaryView::CNimbaryView(CNimbaryDoc& doc, CMainFrame* frame, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      frame_(frame),
      lockRetry_(new QTimer(this)),
      display_(texts_),
      access_(doc.Station(),
              [this](const std::function<void()>& work) {
                  EventLock lock(dataEvent_);
                  work();
              }),
      back_(kDisplayWidth, kDisplayHeight, QImage::Format_RGB32) {
    setObjectName("view");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    back_.fill(colors::kBackground);
    lockRetry_->setInterval(1000);
    connect(lockRetry_, &QTimer::timeout, this, &CNimbaryView::LookForStation);
}

void CNimbaryView::FirstUpdate() {
    {
        EventLock lock(dataEvent_);
        poll_.ShowUnits(display_, Units());
        display_.LayoutPanels();
        display_.ApplyPresence();
        display_.UpdateTexts(doc_.Station());
        display_.ReloadTexts();
        repaintAll_ = true;
    }
    if (frame_) frame_->ClearDeviceTitle();
    LookForStation();
}

void CNimbaryView::LookForStation() {
    const bool wasHeld = lockRetry_->isActive();
    const int open = doc_.OpenStation();
    const std::string refusal = doc_.LockRefusal();
    if (doc_.StationHeldElsewhere())
        lockRetry_->start();
    else
        lockRetry_->stop();
    if (!frame_ || open) return;  // an opened station has said "Ready" already
    if (!refusal.empty())
        frame_->ShowStatus(STATUS_TEXT, 0, QString::fromStdString(refusal));
    else if (wasHeld)
        frame_->ShowStatus(STATUS_TEXT, 0, QString::fromStdString(text::Load(57345)));
}

void CNimbaryView::SetClockIfDue() {
    QDateTime first = now_();
    if (first.time().hour() == lastClockHour_) return;
    QDateTime t = now_();  // the frame carries the time read right before sending
    QDate d = t.date();
    QTime tm = t.time();
    if (doc_.Station().SetClock(d.year(), d.month(), d.day(), tm.hour(), tm.minute(), tm.second(),
                                tm.msec())) {
        lastClockHour_ = first.time().hour();
        std::lock_guard<std::mutex> lock(countsMutex_);
        ++counts_.clockSet;
    }
}

void CNimbaryView::PollTick() {
    if (!doc_.Usb().Connected()) return;
    StationData& st = doc_.Station();

    SetClockIfDue();
    if (needDeviceId_) {
        StationInfo info;
        if (st.ReadDeviceInfo(info)) {
            deviceId_ = info.DevID;
            needDeviceId_ = 0;
            if (frame_)
                PostToGuiThread(frame_, [f = frame_, id = info.DevID] { f->SetDeviceTitle(id); });
        }
    }
    if (!st.ReadSettings() || !st.ReadCurrent()) {
        // Connected but silent: say so once, rather than keep showing old values
        // under "Connected" as if all were well.
        if (++failedReads_ == kSilentTicks) PostStatusText(2124);
        return;
    }
    if (failedReads_ >= kSilentTicks) PostStatusText(57345);
    failedReads_ = 0;
    doc_.ReadingTaken(deviceId_);

    const StationSettings settings = st.SettingsCopy();
    UnitSet units;
    CopyUnits(settings, units);
    PollStep::Changes changes;
    {
        // The GUI thread forgets the presence when the station goes.
        EventLock lock(dataEvent_);
        changes = poll_.Compare(st.PresenceCopy(), units, settings.GraphRefresh);
    }
    if (changes.readSeries) {
        if (!st.ReadAllGraphs()) return;  // read again next tick
        poll_.SeriesRead();
    }

    {
        EventLock lock(dataEvent_);
        const PollStep::Redraw redraw = poll_.Apply(changes, display_, st);
        QPainter p(&back_);
        if (redraw == PollStep::Redraw::Relayout) p.fillRect(back_.rect(), colors::kBackground);
        display_.DrawAll(p, redraw != PollStep::Redraw::Changed);
        std::lock_guard<std::mutex> c(countsMutex_);
        if (redraw == PollStep::Redraw::Relayout)
            ++counts_.relayout;
        else if (redraw == PollStep::Redraw::Full)
            ++counts_.full;
        else
            ++counts_.dirty;
    }
    PostToGuiThread(this, [this] { update(); });
}

void CNimbaryView::PostStatusText(int id) {
    if (!frame_) return;
    PostToGuiThread(frame_, [f = frame_, id] {
        f->ShowStatus(STATUS_TEXT, 0, QString::fromStdString(text::Load(id)));
    });
}

void CNimbaryView::RedrawAllLocked() {
    QPainter p(&back_);
    p.fillRect(back_.rect(), colors::kBackground);
    display_.DrawAll(p, true);
}

void CNimbaryView::OnStationOpened() {
    doc_.StationOpened();
    poll_.RequestSeries();
    lastClockHour_ = 30;
    needDeviceId_ = 1;
    if (frame_) {
        frame_->ShowStatus(STATUS_CONNECTION, 1);
        frame_->ShowStatus(STATUS_TEXT, 0, QString::fromStdString(text::Load(57345)));
    }
}

void CNimbaryView::OnStationGone() {
    deviceId_ = 0;
    {
        EventLock lock(dataEvent_);
        poll_.Forget(display_);
        RedrawAllLocked();
    }
    update();
    if (frame_) {
        frame_->ClearDeviceTitle();
        frame_->ShowStatus(STATUS_CONNECTION, 0);
        const std::string refusal = doc_.LockRefusal();
        frame_->ShowStatus(STATUS_TEXT, 0,
                           QString::fromStdString(refusal.empty() ? text::Load(57345) : refusal));
    }
}

void CNimbaryView::ReloadTexts(bool redraw) {
    {
        EventLock lock(dataEvent_);
        display_.ReloadTexts();
        if (redraw) RedrawAllLocked();
    }
    if (redraw) {
        update();
        if (frame_) frame_->ShowStatus(STATUS_CONNECTION, doc_.Usb().Connected());
    }
}

bool CNimbaryView::OnCommand(int id) {
    Messages& messages = doc_.UserMessages();
    QWidget* owner = window();
    switch (id) {
        case ID_SETTING: {
            const bool ok = CSetting::ReadStation(access_);
            CSetting(access_, texts_, messages, ok, owner).exec();
            return true;
        }
        case ID_ALARM: {
            const bool ok = CAlarm::ReadStation(access_);
            CAlarm(access_, texts_, messages, ok, owner).exec();
            return true;
        }
        case ID_MAXMIN: {
            const bool ok = CMaxMin::ReadStation(access_);
            CMaxMin(access_, texts_, messages, ok, MaxMinLayout::Program(), owner).exec();
            return true;
        }
        default:
            return false;
    }
}

CNimbaryView::DrawCounts CNimbaryView::Counts() const {
    std::lock_guard<std::mutex> lock(countsMutex_);
    return counts_;
}

void CNimbaryView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    EventLock lock(dataEvent_);
    if (repaintAll_) {
        RedrawAllLocked();
        repaintAll_ = false;
    }
    p.fillRect(rect(), colors::kBackground);
    p.drawImage(0, 0, back_);
}

void CNimbaryView::UpdateCursor(const QPoint& pos) {
    bool hit;
    {
        EventLock lock(dataEvent_);
        hit = display_.HitLegend(pos.x(), pos.y());
    }
    if (hit)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void CNimbaryView::mouseMoveEvent(QMouseEvent* e) {
    UpdateCursor(e->position().toPoint());
    QWidget::mouseMoveEvent(e);
}

void CNimbaryView::mouseReleaseEvent(QMouseEvent* e) {
    UpdateCursor(e->position().toPoint());
    QWidget::mouseReleaseEvent(e);
}

void CNimbaryView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        QPoint pos = e->position().toPoint();
        bool toggled = false;
        {
            EventLock lock(dataEvent_);
            if (MiniGraph* g = display_.ToggleAt(pos.x(), pos.y())) {
                QPainter p(&back_);
                g->Draw(p, true);
                toggled = true;
            }
        }
        if (toggled) {
            setCursor(Qt::PointingHandCursor);
            update();
        }
    }
    QWidget::mousePressEvent(e);
}

}  // namespace nimbary
