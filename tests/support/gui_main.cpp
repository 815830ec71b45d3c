#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The window keeps the user's copy of its settings in the configuration
// folder: each test gets a fresh one, so no test reads what another saved
// and none writes into the real user's.
class FreshConfigFolder : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        folder_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", folder_->path().toLocal8Bit());
    }
    std::unique_ptr<QTemporaryDir> folder_;
};

} // namespace

int main(int argc, char** argv) {
    // Tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The archive of what was read lives in the user's data folder: tests get
    // one of their own, gone when they end.
    const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshConfigFolder);
    return RUN_ALL_TESTS();
}
