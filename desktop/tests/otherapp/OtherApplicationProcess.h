#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/Workspace.h"
#include "testsupport/QtEvents.h"

// Drives the test program "quillary_test_other_app" (see OtherApplication.cpp
// for its commands and events) from a test with a running Qt event loop.
class OtherApplicationProcess {
public:
    explicit OtherApplicationProcess(const QString& program, const QStringList& arguments = {}) {
        process_.setProgram(program);
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        process_.start();
    }
    ~OtherApplicationProcess() {
        if (process_.state() == QProcess::NotRunning) return;
        send("quit");
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    OtherApplicationProcess(const OtherApplicationProcess&) = delete;
    OtherApplicationProcess& operator=(const OtherApplicationProcess&) = delete;

    // Waits for "ready"; the window id, or 0 when the program did not start.
    unsigned long waitReady() {
        const auto line = waitFor("ready ");
        return line.empty() ? 0 : std::stoul(line.substr(6));
    }
    qint64 processId() const { return process_.processId(); }

    // Asks for `window` to come to the front until the program is frontmost;
    // false when it never is.
    bool bringToFront(platform::Workspace& workspace, unsigned long window) {
        return testsupport::runEventsUntil([&] {
            const auto front = workspace.frontmostApplication();
            if (front && front->processIdentifier == processId()) return true;
            workspace.activate(platform::RunningApplication{0, {}, {}, window});
            testsupport::runEventsFor(std::chrono::milliseconds(50));
            return false;
        });
    }

    void send(const std::string& command) {
        process_.write(QByteArray::fromStdString(command + "\n"));
        process_.waitForBytesWritten(1000);
    }

    // The first line, from the one after the last taken, that starts with
    // `prefix`; empty after `limit`. Lines before it are kept in `lines()`.
    std::string waitFor(const std::string& prefix, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::string found;
        testsupport::runEventsUntil(
            [&] {
                for (; next_ < lines_.size(); ++next_) {
                    if (lines_[next_].rfind(prefix, 0) == 0) {
                        found = lines_[next_++];
                        return true;
                    }
                }
                return false;
            },
            limit);
        return found;
    }

    // Sends "dump" (or "dump-clipboard") and collects the answer up to "end".
    std::map<std::string, std::string> dump() {
        std::map<std::string, std::string> result;
        for (const auto& line : request("dump")) {
            const auto space = line.find(' ');
            result[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
        }
        return result;
    }
    std::vector<std::string> clipboardFormats() { return request("dump-clipboard"); }

    // Every line printed so far.
    const std::vector<std::string>& lines() const { return lines_; }
    std::vector<std::string> keyLines() const {
        std::vector<std::string> keys;
        for (const auto& line : lines_)
            if (line.rfind("key ", 0) == 0) keys.push_back(line);
        return keys;
    }
    bool printed(const std::string& line) const {
        for (const auto& l : lines_)
            if (l == line) return true;
        return false;
    }

private:
    std::vector<std::string> request(const std::string& command) {
        // Move past everything printed so far, then read up to "end".
        next_ = lines_.size();
        send(command);
        std::vector<std::string> answer;
        testsupport::runEventsUntil([&] {
            for (; next_ < lines_.size(); ++next_) {
                if (lines_[next_] == "end") {
                    ++next_;
                    return true;
                }
                if (lines_[next_].rfind("key ", 0) != 0) answer.push_back(lines_[next_]);
            }
            return false;
        });
        return answer;
    }

    void readLines() {
        buffer_ += process_.readAllStandardOutput().toStdString();
        for (std::size_t end; (end = buffer_.find('\n')) != std::string::npos;) {
            lines_.push_back(buffer_.substr(0, end));
            buffer_.erase(0, end + 1);
        }
    }

    QProcess process_;
    std::string buffer_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};
