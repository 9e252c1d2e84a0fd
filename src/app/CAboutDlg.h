#pragma once

#include <QDialog>

class QLabel;

namespace nimbary {

// The about box: the program's icon and version, and the copyright text and
// web address that main.ini carries.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const QString& dataDir, QWidget* parent = nullptr);

    // Addresses longer than this are shown but not opened, like the link
    // control that cannot hold them.
    static constexpr int kMaxUrl = 2083;
    const QString& Url() const { return url_; }

private:
    QString url_;
};

}  // namespace nimbary
