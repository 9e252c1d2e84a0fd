#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <memory>

#include "CUsb.h"
#include "CountingBackend.h"
#include "DialogSupport.h"
#include "RecordingMessages.h"
#include "SimBackend.h"
#include "StationDataAccess.h"
#include "StationTime.h"

namespace nimbary::testing {

struct RigOptions {
    uint8_t capability = 0x62;  // region 2, time and forecast options
    bool rain = true;
    uint8_t tempMask = 0x01;
    uint32_t historyDays = 1;  // so maxima and minima differ
};

// A simulated station on a frozen clock behind the real transport, the
// program's station access over it, recorded messages and the string table.
struct SimStationRig {
    explicit SimStationRig(const RigOptions& o = RigOptions()) {
        sim::SimConfig c;
        c.seed = 7;
        c.devId = 0x1A2B3C4D;
        uint32_t noon = 0;
        sim::FromCalendar(2024, 3, 5, 12, 0, 0, noon);
        c.startTime = noon;
        c.frozen = true;
        c.historyDays = o.historyDays;
        c.capability = o.capability;
        c.presence.tempMask = c.presence.humiMask = o.tempMask;
        if (!o.rain) c.presence.flags &= static_cast<uint8_t>(~sim::SQ_RAIN);
        backend = std::make_unique<sim::SimBackend>(std::make_shared<sim::SimStation>(c));
        counting = std::make_unique<CountingBackend>(*backend);
        usb = std::make_unique<CUsb>(*counting);
        data.usb = usb.get();
        usb->OpenStation();
        data.ReadCurrent();
    }

    sim::SimStation& Sim() { return backend->Station(); }
    sim::FaultInjector& Faults() { return backend->Faults(); }

    std::unique_ptr<sim::SimBackend> backend;
    std::unique_ptr<CountingBackend> counting;
    std::unique_ptr<CUsb> usb;
    UnitSet units;
    StationData data{nullptr, &units};
    StationDataAccess access{data};
    RecordingMessages messages;
    StringTableSource texts;
};

// The one message shown, as "text|icon|caption"; Msg builds what is expected.
inline std::string Msg(const std::string& text, MessageIcon icon, const std::string& caption = "") {
    return text + "|" + std::to_string(static_cast<int>(icon)) + "|" + caption;
}
inline std::string Shown(const RecordingMessages& m) {
    if (m.shown.size() != 1) return std::to_string(m.shown.size()) + " messages";
    return Msg(m.shown[0].text, m.shown[0].icon, m.shown[0].caption);
}
inline const std::string kSaved = Msg("Successfully saved!", MessageIcon::Information);
inline const std::string kSaveFailed = Msg("Save failed!", MessageIcon::Error, "Error");

template <class W = QWidget>
W* Control(QWidget& dialog, int id) {
    return dialog.findChild<W*>(Idc(id));
}
inline QWidget* Named(QWidget& dialog, const QString& name) {
    return dialog.findChild<QWidget*>(name);
}
inline void Type(QWidget& dialog, int id, const QString& text) {
    Control<QLineEdit>(dialog, id)->setText(text);
}
inline void Choose(QWidget& dialog, int id, int index) {
    Control<QComboBox>(dialog, id)->setCurrentIndex(index);
}
inline void Click(QWidget& dialog, int id) {
    Control<QAbstractButton>(dialog, id)->click();
}
inline std::string EditText(QWidget& dialog, int id) {
    return Control<QLineEdit>(dialog, id)->text().toStdString();
}

}  // namespace nimbary::testing
