#include "simulator/recorder_sim.h"

#include "simulator/history_generator.h"
#include "simulator/recorder_memory.h"
#include "simulator/sim_server.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <chrono>

RecorderSimulator::RecorderSimulator() : memory_(std::make_unique<RecorderMemory>()) {}

RecorderSimulator::~RecorderSimulator() {
    Stop();
}

bool RecorderSimulator::Start() {
    std::lock_guard startLock(startStop_);
    if (server_) {
        return false;
    }
    auto server = std::make_unique<Server>(*this);
    if (!server->Open()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    devicePath_ = server->Path();
    server_ = std::move(server);
    return true;
}

void RecorderSimulator::Stop() {
    std::lock_guard startLock(startStop_);
    std::unique_ptr<Server> server;
    {
        std::lock_guard lock(mutex_);
        server = std::move(server_);
    }
    if (server) {
        server->Stop(); // joins: the thread takes mutex_ itself
    }
}

bool RecorderSimulator::IsRunning() const {
    std::lock_guard lock(mutex_);
    return server_ != nullptr;
}

QString RecorderSimulator::DevicePath() const {
    std::lock_guard lock(mutex_);
    return devicePath_;
}

void RecorderSimulator::SetBytes(std::uint8_t selector, std::uint32_t address,
                                 const QByteArray& bytes) {
    std::lock_guard lock(mutex_);
    memory_->Set(selector, address, bytes);
}

QByteArray RecorderSimulator::Bytes(std::uint8_t selector, std::uint32_t address,
                                    int length) const {
    std::lock_guard lock(mutex_);
    return memory_->Get(selector, address, length);
}

void RecorderSimulator::SetEventPointer(std::uint32_t address) {
    std::lock_guard lock(mutex_);
    memory_->SetEventPointer(address);
}

std::uint32_t RecorderSimulator::EventPointer() const {
    std::lock_guard lock(mutex_);
    return memory_->EventPointer();
}

void RecorderSimulator::SetSumPointer(std::uint32_t address) {
    std::lock_guard lock(mutex_);
    memory_->SetSumPointer(address);
}

std::uint32_t RecorderSimulator::SumPointer() const {
    std::lock_guard lock(mutex_);
    return memory_->SumPointer();
}

void RecorderSimulator::SetClock(const QDateTime& time) {
    std::lock_guard lock(mutex_);
    memory_->SetClock(time);
}

QDateTime RecorderSimulator::Clock() const {
    std::lock_guard lock(mutex_);
    return memory_->Clock();
}

void RecorderSimulator::Generate(const GenerateOptions& options) {
    std::lock_guard lock(mutex_);
    QDateTime newest = options.newest;
    if (!newest.isValid()) {
        newest = memory_->Clock();
        if (!newest.isValid()) {
            newest = QDateTime::currentDateTime();
        }
        newest = newest.addSecs(-60); // the newest records are a minute old
    }
    GenerateHistory(*memory_, options, newest);
    memory_->AnswerEverything();
}

bool RecorderSimulator::AppendEvent(const QByteArray& record) {
    std::lock_guard lock(mutex_);
    return memory_->AppendEvent(record);
}

bool RecorderSimulator::AppendSum(const QByteArray& record) {
    std::lock_guard lock(mutex_);
    return memory_->AppendSum(record);
}

void RecorderSimulator::AppendHistory(int events, int sums, std::uint32_t seed,
                                      HistoryModel model) {
    std::lock_guard lock(mutex_);
    ::AppendHistory(*memory_, events, sums, seed, memory_->Clock(), model);
}

void RecorderSimulator::AppendHistoryToClock(int events, int sums, std::uint32_t seed,
                                             HistoryModel model) {
    std::lock_guard lock(mutex_);
    ::AppendHistoryUntil(*memory_, events, sums, seed, memory_->Clock(), model);
}

bool RecorderSimulator::LoadImage(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    const QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    std::lock_guard lock(mutex_);
    return memory_->FromImage(image, error);
}

bool RecorderSimulator::SaveImage(const QString& path) const {
    QByteArray image;
    {
        std::lock_guard lock(mutex_);
        image = memory_->ToImage();
    }
    // Written aside and renamed: a failed save leaves the old image whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(image) != image.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void RecorderSimulator::SetFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    if (faults.vanishAfter != faults_.vanishAfter) {
        requestsSinceVanishSet_ = 0;
    }
    faults_ = faults;
    kickLocked();
}

RecorderSimulator::Faults RecorderSimulator::CurrentFaults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void RecorderSimulator::FailNextRequests(std::uint32_t address, int n) {
    std::lock_guard lock(mutex_);
    for (auto& entry : failing_) {
        if (entry.first == address) {
            entry.second = n;
            return;
        }
    }
    failing_.emplace_back(address, n);
}

std::vector<RecorderSimulator::Request> RecorderSimulator::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void RecorderSimulator::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

QByteArray RecorderSimulator::ReceivedBytes() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void RecorderSimulator::ClearReceived() {
    std::lock_guard lock(mutex_);
    received_.clear();
}

bool RecorderSimulator::WaitForRequests(int n, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return requestSeen_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                 [&] { return int(requests_.size()) >= n; });
}

void RecorderSimulator::kickLocked() {
    if (server_) {
        server_->Kick();
    }
}

void RecorderSimulator::SetLogRequests(bool on) {
    std::lock_guard lock(mutex_);
    logRequests_ = on;
}

void RecorderSimulator::SetTimingLog(const QString& path) {
    std::lock_guard lock(mutex_);
    timingLog_ = path;
}
