#pragma once

#include <QDialog>
#include <QString>

#include "Messages.h"
#include "StationAccess.h"
#include "TextSource.h"

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;

namespace nimbary {

// The station's alarm thresholds, their enable switches and the time alarm.
// Thresholds are edited in the station image in place; the enable switches
// travel in the settings, so Save writes the settings first, then the alarms.
class CAlarm : public QDialog {
    Q_OBJECT
public:
    // `readOk`: whether the reads before opening (ReadStation) succeeded;
    // without them Save is disabled and the controls stay empty.
    CAlarm(StationAccess& station, TextSource& texts, Messages& messages, bool readOk,
           QWidget* parent = nullptr);

    // What the dialog shows, read from the station before it opens: the
    // settings (the enable switches), then the alarms. True when both came.
    static bool ReadStation(StationAccess& station);

    // The time picker's format: the locale's time format without seconds
    // (every ":ss" removed) and without a time zone.
    static QString PickerFormat(QString localeFormat);

private:
    void Fill();
    void RelayoutWithoutRain();
    void OnSave();

    StationAccess& station_;
    TextSource& texts_;
    Messages& messages_;
    const UnitSet units_;
    QCheckBox* checks_[20] = {};
    QLineEdit* edits_[20] = {};
    QString filled_[20];  // each edit's text as filled in
    QCheckBox* timeCheck_ = nullptr;
    QDateTimeEdit* picker_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace nimbary
