#pragma once

#include <QDialog>
#include <functional>

class QComboBox;

namespace nimbary {

// Chooses the user-interface language: English (0) or Chinese (1).
class CLanguage : public QDialog {
    Q_OBJECT
public:
    // `language` is selected at first; OK hands the chosen one to `apply`,
    // which makes it the program's language at once, then closes the dialog.
    // Cancel changes nothing.
    CLanguage(int language, std::function<void(int language)> apply, QWidget* parent = nullptr);

    int Selected() const;

    void accept() override;

private:
    std::function<void(int)> apply_;
    QComboBox* list_;
};

}  // namespace nimbary
