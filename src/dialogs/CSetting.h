#pragma once

#include <QDialog>
#include <vector>

#include "Messages.h"
#include "StationAccess.h"
#include "TextSource.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace nimbary {

// The station's own settings: units, what its screen shows, backlight,
// forecast, record interval, max/min mode, buzzer and clock options. Edits a
// working copy and writes it to the station on Save.
class CSetting : public QDialog {
    Q_OBJECT
public:
    // `readOk`: whether the settings read before opening succeeded; without
    // it Save is disabled and the colour-by bounds are left empty.
    CSetting(StationAccess& station, TextSource& texts, Messages& messages, bool readOk,
             QWidget* parent = nullptr);

    // What the dialog shows, read from the station before it opens.
    static bool ReadStation(StationAccess& station) { return station.ReadSettings() != 0; }

private:
    // A drop-down list bound to one settings field: index = value - offset.
    struct List {
        QComboBox* box;
        int32_t StationSettings::*field;
        int offset;
    };

    QComboBox* AddList(int id, const QRect& r, const QStringList& entries,
                       int32_t StationSettings::*field, int offset = 0);
    QLabel* AddLabel(int forId, int textId, const QRect& r);
    void Fill();
    void RefreshColorBy();
    void OnColorByChanged(int index);
    void ShowIntervalUnit();
    // The colour-by bounds of the mode shown, into the working copy; false
    // after telling the user what is wrong.
    bool TakeColorBounds();
    bool TakeInterval(int32_t& seconds);
    void Refuse(const std::string& text, MessageIcon icon, QLineEdit* edit);
    void OnSave();

    StationAccess& station_;
    TextSource& texts_;
    Messages& messages_;
    const UnitSet units_;
    StationSettings work_;
    int shownColorBy_ = -1;

    std::vector<List> lists_;
    QGroupBox* colorGroup_ = nullptr;
    QComboBox* colorBy_ = nullptr;
    QComboBox* userColor_ = nullptr;
    QWidget* boundWidgets_[6] = {};  // the two labels, edits and unit labels
    QLineEdit* lower_ = nullptr;
    QLineEdit* upper_ = nullptr;
    QString filledLower_, filledUpper_;  // the bounds' texts as filled in
    QLineEdit* minutes_ = nullptr;
    QComboBox* seconds_ = nullptr;
    QComboBox* intervalUnit_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace nimbary
