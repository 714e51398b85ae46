// The real station, headless and in run-time mode, polling the libmodbus simulator: its
// web page and its history file show the simulator's values, scaled as the tags say.
#include "TempDir.h"

#include <QDate>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

class Process final {
public:
    Process(const QString& program, const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.start(program, arguments);
        m_process.waitForStarted();
    }
    ~Process() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
    QProcess& Get() { return m_process; }

private:
    QProcess m_process;
};

// The body of http://127.0.0.1:port/path, through curl; empty when it failed.
std::string Fetch(int port, const std::string& path) {
    QProcess curl;
    curl.start("curl", {"-sf", "--max-time", "2",
                        QString::fromStdString("http://127.0.0.1:" + std::to_string(port) + path)});
    curl.waitForFinished(5000);
    return curl.exitCode() == 0 ? curl.readAllStandardOutput().toStdString() : std::string();
}

template <typename Condition> bool WaitUntil(Condition done) {
    for (int i = 0; i < 200; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

} // namespace

TEST(EndToEnd, WebPageAndHistoryShowTheSimulatorsScaledValues) {
    TempDir root;
    const int simPort = 22000 + ::getpid() % 5000;
    const int webPort = simPort + 5000;
    Process sim(HALVANE_SIM, {"--tcp", QStringLiteral("127.0.0.1:%1").arg(simPort), "--static"});
    // Word 12001 scaled by 0.5 + 3, and the float 101.25 with its fraction.
    WriteText(root / "cfg/config.cfg",
              "[General]\nLog.Enabled=1\nLog.Interval=1\nLog.Separator=;\n"
              "[WebServer]\nEnabled=1\nPort=" +
                  std::to_string(webPort) +
                  "\n"
                  "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" +
                  std::to_string(simPort) +
                  "\ninterval=50\n"
                  "[Channel.0]\nName=Flow\nUnit=m\xC2\xB3/h\nPort=4\nFunction=2\nRegisterAddr=101\n"
                  "Linear=1\nACoff=0.5\nBCoff=3\nFormat=%0.1f\n"
                  "[Channel.1]\nName=Temperature\nUnit=\xC2\xB0"
                  "C\nPort=4\nFunction=3\n"
                  "RegisterAddr=107\nDataType=101\nLinear=0\nFormat=%0.2f\n"
                  "[Screens]\nScreenCfgId.0=5\n");
    // One screen with a numeric display of the first tag: white text while it is valid.
    WriteText(root / "cfg/screen.5.cfg",
              "[General]\nTitle=Plant\nWidth=320\nHeight=200\nNoOfMarkers=1\n"
              "[Marker.0]\nTL=0,40\nBR=320,80\nType=0\nChannel=0\nUseStyle=0\n");
    WriteText(root / "http/index.html.tpl",
              "${tag_resetcount}\n<p>${tag_name_next}=${tag_value_next} ${tag_unit_next}</p>\n"
              "${tag_gotonext}\n");
    Process station(HALVANE_BINARY,
                    {"--data-root", QString::fromStdString(root.Path().string()), "-runtime"});

    std::string page;
    ASSERT_TRUE(WaitUntil([&] {
        page = Fetch(webPort, "/");
        return page.find("Flow=6003.5") != std::string::npos &&
               page.find("Temperature=101.25") != std::string::npos;
    })) << page;
    EXPECT_NE(page.find("Flow=6003.5 m\xB3/h"), std::string::npos); // one byte per character
    EXPECT_NE(page.find("Temperature=101.25 \xB0"
                        "C"),
              std::string::npos);

    const auto history =
        root / ("history/log" + QDate::currentDate().toString("yyyyMMdd").toStdString() + ".csv");
    std::string lines;
    ASSERT_TRUE(WaitUntil([&] {
        lines = ReadText(history);
        return lines.find(";6003.5;101.25\r\n") != std::string::npos;
    })) << lines;
    EXPECT_EQ(lines.rfind("\"Timestamp\";\"Flow[m\xC2\xB3/h]\";\"Temperature[\xC2\xB0"
                          "C]\"\r\n",
                          0),
              0u);
}
