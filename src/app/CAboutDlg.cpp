#include "CAboutDlg.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "AppIcon.h"
#include "DataFolder.h"
#include "IniFile.h"
#include "StringTable.h"

namespace nimbary {

CAboutDlg::CAboutDlg(const QString& dataDir, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(text::Load(2114)));
    IniFile ini(IniPath(dataDir));

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    auto* version = new QLabel("Nimbary, Version 1.2", this);
    version->setObjectName("aboutVersion");
    auto* copyright = new QLabel(ini.Read("About", "Copyright"), this);
    copyright->setObjectName("aboutCopyright");
    auto* link = new QLabel(this);
    link->setObjectName("aboutLink");

    // Read whole: an address cut at a buffer's length would open the wrong page.
    const QString web = ini.Read("About", "Web", 1 << 16);
    if (!web.isEmpty()) {
        if (web.size() <= kMaxUrl) url_ = web;
        link->setTextFormat(Qt::RichText);
        link->setText("<a href=\"#\">" + web.toHtmlEscaped() + "</a>");
        connect(link, &QLabel::linkActivated, this, [this] {
            if (!url_.isEmpty()) QDesktopServices::openUrl(QUrl(url_));
        });
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QString::fromStdString(text::Load(2105)));
    ok->setObjectName("okButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(copyright, 1, 1);
    grid->addWidget(link, 2, 1);
    grid->addWidget(buttons, 3, 0, 1, 2);
}

}  // namespace nimbary
