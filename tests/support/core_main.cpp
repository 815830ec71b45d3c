#include <QCoreApplication>

#include <gtest/gtest.h>

// The link waits in the event loop, so every test runs with an application.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
