#include "QtMessages.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace nimbary {

namespace {

QString Caption(const std::string& caption) {
    return caption.empty() ? QCoreApplication::applicationName()
                           : QString::fromStdString(caption);
}

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::Warning: return QMessageBox::Warning;
        case MessageIcon::Error: return QMessageBox::Critical;
        case MessageIcon::Question: return QMessageBox::Question;
        case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtMessages::Show(const std::string& text, MessageIcon icon, const std::string& caption) {
    QMessageBox box(ToQt(icon), Caption(caption), QString::fromStdString(text), QMessageBox::Ok,
                    parent_);
    box.exec();
}

bool QtMessages::AskYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, Caption(caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace nimbary
