#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

namespace nimbary {

// The about box: the program's icon and version, and the copyright text and
// web address that main.ini carries.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(const QString& dataDir, QWidget* parent = nullptr);

    // Addresses longer than this are shown but not opened, like the link
    // control that cannot hold them.
    static constexpr int kMaxUrl = 2083;
    // The address a click opens; empty when the link opens nothing.
    const QString& Url() const { return url_; }

    // Opens a clicked address; the desktop's URL handler unless a test
    // puts its own here.
    std::function<void(const QUrl&)> openUrl;

private:
    void LinkClicked();

    QString url_;
};

}  // namespace nimbary
