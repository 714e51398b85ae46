// Start-up of the real program, run as a separate process on a temporary data root.
#include "TempDir.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

const char* const kStringsSection = "[Strings]\n"
                                    "Marker.Binary.0=1;0\n"
                                    "Marker.Binary.1=On;Off\n"
                                    "Marker.Binary.2=Open;Close\n"
                                    "Marker.Binary.3=True;False\n"
                                    "Marker.Binary.4=Yes;No\n"
                                    "FunctionButton.0=<<\n"
                                    "FunctionButton.1=>>\n"
                                    "FunctionButton.2=Exit\n"
                                    "FunctionButton.3=History\n";

class Station final {
public:
    explicit Station(const std::filesystem::path& root, QStringList extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.start(HALVANE_BINARY,
                        QStringList{"--data-root", QString::fromStdString(root.string())} + extra);
        m_process.waitForStarted();
    }
    ~Station() {
        if (m_process.state() != QProcess::NotRunning) {
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
            std::this_thread::sleep_for(25ms);
        }
        return false;
    }
    bool WaitForExit() { return m_process.waitForFinished(10000); }
    int ExitCode() const { return m_process.exitCode(); }
    bool Running() const { return m_process.state() == QProcess::Running; }
    void Terminate() { m_process.terminate(); }
    QString StandardError() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
};

bool Contains(const std::filesystem::path& file, const std::string& text) {
    return ReadText(file).find(text) != std::string::npos;
}

} // namespace

TEST(StartUp, MissingConfigurationReportsAndEnds) {
    TempDir root;
    Station station(root.Path());
    ASSERT_TRUE(station.WaitForExit());
    EXPECT_EQ(station.ExitCode(), 1);
    const QStringList lines = station.StandardError().split('\n');
    EXPECT_TRUE(lines.contains(
        "Configuration file not found: Configuration file config.cfg not found. Make sure "
        "the program was properly installed and it is running in correct directory."))
        << lines.join('\n').toStdString();
}

TEST(StartUp, EmptyConfigurationGetsTheStringDefaultsAndStopsOnSigterm) {
    TempDir root;
    const auto config = root / "cfg/config.cfg";
    WriteText(config, "");
    Station station(root.Path());
    ASSERT_TRUE(station.WaitUntil([&] { return Contains(config, "FunctionButton.3"); }));
    EXPECT_EQ(ReadText(config), kStringsSection);
    station.Terminate();
    ASSERT_TRUE(station.WaitForExit());
    EXPECT_EQ(station.ExitCode(), 0);
}

TEST(StartUp, HandWrittenConfigurationKeepsEveryUntouchedByte) {
    TempDir root;
    const auto config = root / "cfg/config.cfg";
    const std::string original = "; written by hand\r\n"
                                 "[Strings]\r\n"
                                 "Marker.Binary.1=An;Aus\r\n"
                                 "# the Exit button in French\r\n"
                                 "FunctionButton.2=Sortie \xE9t\xE9\r\n"
                                 "Unknown=kept\r\n"
                                 "\r\n"
                                 "[Channel.0]\r\n"
                                 "Name=Temp\xE9rature\r\n"
                                 "Strange key = with blanks  \r\n";
    WriteText(config, original);
    Station station(root.Path());
    ASSERT_TRUE(station.WaitUntil([&] { return Contains(config, "FunctionButton.3"); }));
    station.Terminate();
    ASSERT_TRUE(station.WaitForExit());
    EXPECT_EQ(ReadText(config), "; written by hand\r\n"
                                "[Strings]\r\n"
                                "Marker.Binary.1=An;Aus\r\n"
                                "# the Exit button in French\r\n"
                                "FunctionButton.2=Sortie \xE9t\xE9\r\n"
                                "Unknown=kept\r\n"
                                "Marker.Binary.0=1;0\r\n"
                                "Marker.Binary.2=Open;Close\r\n"
                                "Marker.Binary.3=True;False\r\n"
                                "Marker.Binary.4=Yes;No\r\n"
                                "FunctionButton.0=<<\r\n"
                                "FunctionButton.1=>>\r\n"
                                "FunctionButton.3=History\r\n"
                                "\r\n"
                                "[Channel.0]\r\n"
                                "Name=Temp\xE9rature\r\n"
                                "Strange key = with blanks  \r\n");
}

TEST(StartUp, ASecondStartOnTheSameDataRootEndsAtOnce) {
    TempDir root;
    const auto config = root / "cfg/config.cfg";
    WriteText(config, "");
    Station first(root.Path());
    ASSERT_TRUE(first.WaitUntil([&] { return Contains(config, "FunctionButton.3"); }));
    Station second(root.Path());
    ASSERT_TRUE(second.WaitForExit());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(first.Running());

    TempDir otherRoot;
    WriteText(otherRoot / "cfg/config.cfg", "");
    Station other(otherRoot.Path());
    EXPECT_TRUE(other.WaitUntil([&] { return Contains(otherRoot / "cfg/config.cfg", "History"); }));
    EXPECT_TRUE(other.Running());
}

TEST(StartUp, CommandLineErrorsAreReported) {
    QProcess process;
    process.start(HALVANE_BINARY, {"--no-such-option"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("unknown option: --no-such-option"));
}
