#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The link waits in the event loop, so every test runs with an application.
int main(int argc, char** argv) {
    // The archive of what was read lives in the user's data folder: tests get
    // one of their own, gone when they end.
    const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
