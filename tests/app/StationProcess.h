#pragma once

// The real program as a separate process on a data root, offscreen.
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

class Station final {
public:
    explicit Station(const std::filesystem::path& root, QStringList extra = {},
                     const QString& platform = "offscreen") {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", platform);
        m_process.setProcessEnvironment(env);
        m_process.start(HALVANE_BINARY,
                        QStringList{"--data-root", QString::fromStdString(root.string())} + extra);
        m_process.waitForStarted();
    }
    // Ends the program as a user would, so that it leaves nothing behind; killed if it hangs.
    ~Station() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    // Waits until `done` holds while the program runs; false if it ended first or timed out.
    template <typename Condition> bool WaitUntil(Condition done) {
        for (int i = 0; i < 200; ++i) {
            if (done())
                return true;
            if (m_process.state() == QProcess::NotRunning)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }
    bool WaitForExit(int timeoutMs = 10000) { return m_process.waitForFinished(timeoutMs); }
    int ExitCode() const { return m_process.exitCode(); }
    bool Running() const { return m_process.state() == QProcess::Running; }
    void Terminate() { m_process.terminate(); }
    void Signal(int signal) { ::kill(static_cast<pid_t>(m_process.processId()), signal); }
    QString StandardError() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
};
