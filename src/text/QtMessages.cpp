#include "QtMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "GuiThread.h"

namespace nimbary {

namespace {

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Over the dialog that asked, when one is open.
QWidget* Owner(QWidget* parent) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : parent;
}

}  // namespace

QString QtMessages::Caption(const std::string& caption) const {
    if (!caption.empty()) return QString::fromStdString(caption);
    return defaultCaption_.isEmpty() ? QCoreApplication::applicationName() : defaultCaption_;
}

void QtMessages::Show(const std::string& text, MessageIcon icon, const std::string& caption) {
    auto show = [parent = parent_, text, icon, title = Caption(caption)] {
        QMessageBox box(ToQt(icon), title, QString::fromStdString(text), QMessageBox::Ok,
                        Owner(parent));
        box.exec();
    };
    // A worker thread (a database error during a download) must not block on
    // the user, nor touch widgets: the box is shown later by the GUI thread.
    if (QThread::currentThread() != qApp->thread()) {
        {
            std::lock_guard<std::mutex> lock(pending_->m);
            if (!pending_->texts.insert(text).second) return;  // that box is still up
        }
        PostToGuiThread(qApp, [show, pending = pending_, text] {
            show();
            std::lock_guard<std::mutex> lock(pending->m);
            pending->texts.erase(text);
        });
        return;
    }
    show();
}

bool QtMessages::AskYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, Caption(caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, Owner(parent_));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace nimbary
