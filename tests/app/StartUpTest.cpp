// Start-up of the real program, run as a separate process on a temporary data root.
#include "StationProcess.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
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

bool Contains(const std::filesystem::path& file, const std::string& text) {
    return ReadText(file).find(text) != std::string::npos;
}

bool Exists(const std::filesystem::path& file) {
    return std::filesystem::exists(file);
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

// A write killed halfway leaves its temporary file; the next station removes it, but a start
// that another station keeps out never touches the running station's writes.
TEST(StartUp, StaleTemporaryFilesGoWhenAStationStarts) {
    TempDir root;
    const auto cfg = root / "cfg";
    WriteText(cfg / "config.cfg", "");
    for (const char* name : {".config.cfg.Ab12Cd", ".screen.3.cfg.x9Y8z7", ".config.cfg.Ab12C"})
        WriteText(cfg / name, "half a write");
    Station first(root.Path());
    ASSERT_TRUE(first.WaitUntil([&] { return Contains(cfg / "config.cfg", "FunctionButton.3"); }));
    EXPECT_FALSE(Exists(cfg / ".config.cfg.Ab12Cd"));
    EXPECT_FALSE(Exists(cfg / ".screen.3.cfg.x9Y8z7"));
    EXPECT_TRUE(Exists(cfg / ".config.cfg.Ab12C")); // not a name we write

    WriteText(cfg / ".screen.3.cfg.Write1", "a write in progress");
    Station second(root.Path());
    ASSERT_TRUE(second.WaitForExit());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(Exists(cfg / ".screen.3.cfg.Write1"));
}

// A station that holds the data root but does not answer (stopped here, as one busy ending
// would be) is waited for: a start that it outlasts says why it did not start, a start
// during whose wait it ends becomes the station.
TEST(StartUp, AStartWaitsForAStationThatDoesNotAnswer) {
    TempDir root;
    const auto cfg = root / "cfg";
    WriteText(cfg / "config.cfg", "");
    Station first(root.Path());
    ASSERT_TRUE(first.WaitUntil([&] { return Contains(cfg / "config.cfg", "FunctionButton.3"); }));
    first.Signal(SIGSTOP);
    WriteText(cfg / ".config.cfg.Write1", "the stopped station's write");

    const auto begin = std::chrono::steady_clock::now();
    Station refused(root.Path());
    ASSERT_TRUE(refused.WaitForExit(20000));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 10s);
    EXPECT_EQ(refused.ExitCode(), 1);
    EXPECT_TRUE(refused.StandardError().contains(
        QStringLiteral("Halvane is still running on %1/ and did not end within 10 s; not started\n")
            .arg(QString::fromStdString(root.Path().string()))));
    EXPECT_TRUE(Exists(cfg / ".config.cfg.Write1"));

    Station second(root.Path());
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(Exists(cfg / ".config.cfg.Write1"));
    first.Signal(SIGKILL);
    ASSERT_TRUE(first.WaitForExit());
    ASSERT_TRUE(second.WaitUntil([&] { return !Exists(cfg / ".config.cfg.Write1"); }));
    Station third(root.Path());
    ASSERT_TRUE(third.WaitForExit());
    EXPECT_EQ(third.ExitCode(), 0);
    EXPECT_TRUE(second.Running());
}

// Without a display nobody can answer a box: a run-time start whose web server cannot
// listen and whose network link cannot connect says why on stderr and goes on (here its
// history starts writing), on each platform that shows nothing.
TEST(StartUp, AHeadlessStartReportsABadWebServerPortAndGoesOn) {
    for (const QString platform : {"offscreen", "minimal"}) {
        SCOPED_TRACE(platform.toStdString());
        TempDir root;
        WriteText(root / "cfg/config.cfg",
                  "[General]\nLog.Enabled=1\nLog.Interval=1\n[WebServer]\nEnabled=1\nPort=70000\n"
                  "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=1\n"
                  "[Channel.0]\nName=Level\nPort=4\n");
        Station station(root.Path(), {"-runtime"}, platform);
        ASSERT_TRUE(station.WaitUntil([&] { return Exists(root / "history"); }));
        EXPECT_TRUE(station.Running());
        station.Terminate();
        ASSERT_TRUE(station.WaitForExit());
        EXPECT_EQ(station.ExitCode(), 0);
        const QString errors = station.StandardError();
        EXPECT_TRUE(errors.contains("Cannot start Web server: Web server cannot start. Please "
                                    "verify if the server port is not occupied by another "
                                    "process.\n"));
        EXPECT_TRUE(errors.contains("Cannot connect to the server 127.0.0.1"))
            << errors.toStdString();
    }
}

TEST(StartUp, CommandLineErrorsAreReported) {
    QProcess process;
    process.start(HALVANE_BINARY, {"--no-such-option"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("unknown option: --no-such-option"));
}
