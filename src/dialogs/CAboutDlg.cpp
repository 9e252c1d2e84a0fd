#include "CAboutDlg.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "AppIcon.h"
#include "DialogSupport.h"
#include "IniFile.h"

namespace nimbary {

CAboutDlg::CAboutDlg(const QString& dataDir, QWidget* parent)
    : QDialog(parent), openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    setWindowTitle(Text(2114));
    setWindowIcon(AppIcon());
    IniFile ini(IniPath(dataDir));

    auto* icon = new QLabel(this);
    icon->setObjectName("idc_128");
    icon->setPixmap(AppIcon().pixmap(32, 32));
    // The template text, with the project's major and minor version.
    auto* version = new QLabel("Nimbary, Version " NIMBARY_SHORT_VERSION, this);
    version->setObjectName("idc_1114");
    auto* copyright = new QLabel(ini.Read("About", "Copyright"), this);
    copyright->setObjectName("idc_1115");
    copyright->setTextFormat(Qt::PlainText);
    auto* link = new QLabel(this);
    link->setObjectName("idc_1116");

    // Read whole: an address cut at a buffer's length would open the wrong page.
    const QString web = ini.Read("About", "Web", 1 << 16);
    if (!web.isEmpty()) {
        if (web.size() <= kMaxUrl) url_ = web;
        link->setTextFormat(Qt::RichText);
        link->setText("<a href=\"#\">" + web.toHtmlEscaped() + "</a>");
        connect(link, &QLabel::linkActivated, this, &CAboutDlg::LinkClicked);
    }

    auto* ok = new QPushButton(Text(2105), this);
    ok->setObjectName("idc_1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(copyright, 1, 1);
    grid->addWidget(link, 2, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    setMinimumWidth(360);
}

void CAboutDlg::LinkClicked() {
    // "www.example.org" opens like the address bar would open it, not as a file.
    if (!url_.isEmpty() && openUrl) openUrl(QUrl::fromUserInput(url_));
}

}  // namespace nimbary
