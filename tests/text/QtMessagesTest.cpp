#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <thread>

#include "QtMessages.h"

using namespace nimbary;

namespace {

// Shows what a worker thread tells, answering every box as it opens; returns
// the texts of the boxes, sorted (a box queued behind another opens on top of
// it, inside its event loop).
std::vector<std::string> BoxesShown(QtMessages& messages,
                                    const std::vector<std::string>& told) {
    std::thread worker([&] {
        for (const auto& text : told) messages.Show(text, MessageIcon::None, "");
    });
    worker.join();
    std::vector<std::string> shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.push_back(box->text().toStdString());
            box->accept();
        }
    });
    answer.start(5);
    for (int i = 0; i < 40; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::sort(shown.begin(), shown.end());
    return shown;
}

}  // namespace

// A database that stays locked fails every pass of the history thread; while
// its box waits for the user, the same text is not queued again.
TEST(QtMessages, AWorkerRepeatingItselfShowsOneBoxAtATime) {
    QtMessages messages;
    EXPECT_EQ(BoxesShown(messages, {"database is locked", "database is locked", "disk full",
                                    "database is locked"}),
              (std::vector<std::string>{"database is locked", "disk full"}));
    // Once answered, the next failure is told again.
    EXPECT_EQ(BoxesShown(messages, {"database is locked"}),
              (std::vector<std::string>{"database is locked"}));
}
