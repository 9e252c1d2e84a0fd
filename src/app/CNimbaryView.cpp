#include "CNimbaryView.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>

#include "CAlarm.h"
#include "CMainFrame.h"
#include "CMaxMin.h"
#include "CSetting.h"
#include "DisplayColors.h"
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
        display_.SetUnits(Units());
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
                QMetaObject::invokeMethod(frame_,
                                          [f = frame_, id = info.DevID] { f->SetDeviceTitle(id); });
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

    bool presenceChanged;
    {
        // The GUI thread clears the copy when the station goes.
        EventLock lock(dataEvent_);
        presenceChanged = st.Presence != presenceCopy_;
    }
    bool refresh;
    if (presenceChanged || st.SettingsCopy().GraphRefresh) {
        doc_.GraphRefresh() = 1;
        refresh = true;
    } else {
        refresh = doc_.GraphRefresh() != 0;
    }
    if (refresh) {
        if (!st.ReadAllGraphs()) return;  // the flag stays set: retried next tick
        doc_.GraphRefresh() = 0;
    }

    bool relayout = false;
    {
        EventLock lock(dataEvent_);
        const StationSettings& s = st.Settings;
        const bool unitsChanged =
            s.TempUnit != unitCopy_.TempUnit || s.BaroUnit != unitCopy_.BaroUnit ||
            s.WindUnit != unitCopy_.WindUnit || s.RainUnit != unitCopy_.RainUnit;
        if (unitsChanged) {
            unitCopy_ = Units();
            unitCopy_.TempUnit = s.TempUnit;
            unitCopy_.BaroUnit = s.BaroUnit;
            unitCopy_.WindUnit = s.WindUnit;
            unitCopy_.RainUnit = s.RainUnit;
            display_.SetUnits(unitCopy_);
        }
        if (presenceChanged) {
            presenceCopy_ = st.Presence;
            display_.SetPresence(presenceCopy_);
        }
        if (unitsChanged || presenceChanged) display_.UpdateAxisLimits();

        const bool rain = (presenceCopy_.Flags & QF_RAIN) != 0;
        QPainter p(&back_);
        if (rain != rainShown_) {
            rainShown_ = rain;
            display_.RelayoutForRain(rain);
            display_.UpdateTexts(st);
            display_.LoadSeries(st);
            p.fillRect(back_.rect(), colors::kBackground);
            display_.DrawAll(p, true);
            relayout = true;
        } else if (refresh || unitsChanged || presenceChanged) {
            display_.UpdateTexts(st);
            display_.LoadSeries(st);
            display_.DrawAll(p, true);
        } else {
            display_.UpdateTexts(st);
            display_.UpdateCurrentPoints(st);
            display_.DrawAll(p, false);
        }
        std::lock_guard<std::mutex> c(countsMutex_);
        if (relayout)
            ++counts_.relayout;
        else if (refresh || unitsChanged || presenceChanged)
            ++counts_.full;
        else
            ++counts_.dirty;
    }
    QMetaObject::invokeMethod(this, [this] { update(); });
}

void CNimbaryView::PostStatusText(int id) {
    if (!frame_) return;
    QMetaObject::invokeMethod(frame_, [f = frame_, id] {
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
        presenceCopy_ = PresenceBlock();
        rainShown_ = false;
        display_.SetPresence(presenceCopy_);
        display_.RelayoutForRain(false);
        display_.ApplyPresence();
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
            const bool ok = access_.ReadSettings();
            CSetting(access_, texts_, messages, ok, owner).exec();
            return true;
        }
        case ID_ALARM: {
            access_.ReadSettings();  // the alarm enables travel in the settings
            const bool ok = access_.ReadAlarms();
            CAlarm(access_, texts_, messages, ok, owner).exec();
            return true;
        }
        case ID_MAXMIN: {
            const bool ok = access_.ReadMaxMin();
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
