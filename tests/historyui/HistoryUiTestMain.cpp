#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

// Widgets need a QApplication; the C locale makes the Time column's text
// the same on every machine ("5 Mar 2024 12:00:00").
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
