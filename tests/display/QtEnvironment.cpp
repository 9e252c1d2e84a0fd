// The display draws text, which needs a QGuiApplication; one is created for
// the whole test run (CTest sets QT_QPA_PLATFORM=offscreen).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

namespace {

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        if (!QGuiApplication::instance()) app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "display_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

[[maybe_unused]] testing::Environment* const g_env =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
