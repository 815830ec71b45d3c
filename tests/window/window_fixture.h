#pragma once

#include "app/zorvan_window.h"
#include "tests/support/answering_gateway.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>
#include <memory>

// A gateway that can look at the window while a message is open, as the user
// would see it.
class ProbingGateway : public AnsweringGateway {
public:
    void inform(MessageIcon icon, const QString& text) override {
        AnsweringGateway::inform(icon, text);
        if (onInform)
            onInform();
    }
    std::function<void()> onInform;
};

// Keeps the event loop running until the condition holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets the event loop run for a while.
inline void Pump(int ms) {
    WaitUntil([] { return false; }, ms);
}

// A window started in a fresh start directory, with the serial ports looked
// up in a fresh port folder. The current directory is restored afterwards.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(startDir.isValid());
        ASSERT_TRUE(portDir.isValid());
        savedCwd = QDir::currentPath();
        savedPorts = qgetenv("ZORVAN_PORTS");
        qputenv("ZORVAN_PORTS", QFile::encodeName(portDir.path()));
    }

    void TearDown() override {
        window.reset();
        QDir::setCurrent(savedCwd);
        if (savedPorts.isEmpty())
            qunsetenv("ZORVAN_PORTS");
        else
            qputenv("ZORVAN_PORTS", savedPorts);
    }

    TZorvan& OpenWindow() {
        window = std::make_unique<TZorvan>(gateway, startDir.path());
        return *window;
    }

    // Closes and destroys the window, as at the end of a run.
    void CloseWindow() {
        if (window)
            window->close();
        window.reset();
    }

    // A settings file in the start directory, code page 1251 and CR LF.
    void WriteIni(const QStringList& lines) {
        QFile file(QDir(startDir.path()).filePath(QStringLiteral("zorvan.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& line : lines)
            file.write(TextFile::Encode(line) + "\r\n");
    }

    // Binds COM n to a device path in the port folder.
    void BindPort(int n, const QString& device) {
        const QString link = QDir(portDir.path()).filePath(QStringLiteral("com%1").arg(n));
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(device, link));
    }

    // The window after every operation: nothing runs, nothing is greyed.
    static void ExpectIdle(const TZorvan& w) {
        EXPECT_FALSE(w.OperationRunning());
        EXPECT_FALSE(w.Port.Open());
        EXPECT_FALSE(w.Timer.isActive());
        EXPECT_EQ(w.ReadBar->value(), 0);
        for (const QLabel* panel : w.StatusPanel)
            EXPECT_TRUE(panel->text().isEmpty()) << panel->objectName().toStdString();
        EXPECT_EQ(w.StatusColour(), TZorvan::ButtonFaceColour());
        EXPECT_FALSE(w.BreakButton->isEnabled());
        for (const QWidget* control : w.OperationControls())
            EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_TRUE(w.AutoBox->isEnabled());
        EXPECT_FALSE(w.AutoBox->isChecked());
        EXPECT_FALSE(w.AutoRefreshBusy);
        EXPECT_FALSE(w.EventMode);
        EXPECT_FALSE(w.SumMode);
        EXPECT_FALSE(w.LogOpen);
    }

    QTemporaryDir startDir;
    QTemporaryDir portDir;
    ProbingGateway gateway;
    std::unique_ptr<TZorvan> window;
    QString savedCwd;
    QByteArray savedPorts;
};
