#include "bench/sim_process.h"

SimProcess::~SimProcess() {
    Stop();
}

bool SimProcess::Start(int comNumber, const QStringList& options) {
    if (!ports_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    qputenv("ZORVAN_PORTS", ports_.path().toLocal8Bit());
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(RECORDER_SIM),
                   QStringList{QStringLiteral("--com"), QString::number(comNumber)} + options);
    if (!process_.waitForStarted(5000)) {
        error_ = process_.errorString();
        return false;
    }
    QByteArray out;
    while (!out.contains("READY")) {
        if (!process_.waitForReadyRead(10000)) {
            error_ = QStringLiteral("the simulator did not report READY");
            return false;
        }
        out += process_.readAllStandardOutput();
    }
    return true;
}

QString SimProcess::Control(const QString& line) {
    process_.write(line.toLocal8Bit() + '\n');
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(10000))
            return {};
    }
    return QString::fromLocal8Bit(process_.readLine()).trimmed();
}

void SimProcess::Stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}
