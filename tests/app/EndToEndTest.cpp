// The real station, headless and in run-time mode, polling the libmodbus simulator: its
// web page and its history file show the simulator's values, scaled as the tags say, and
// browsers get its screens.
#include "TempDir.h"

#include <QDate>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// A browser's view of the running station's screens: the list, the objects of a screen where
// its frame drew them, and the frame as PNG with the very pixels of the BMP picture.
TEST(EndToEnd, BrowsersGetTheScreensObjectsAndPngPictures) {
    TempDir root;
    const int simPort = 22000 + (::getpid() + 1) % 5000;
    const int webPort = simPort + 5000;
    Process sim(HALVANE_SIM, {"--tcp", QStringLiteral("127.0.0.1:%1").arg(simPort), "--static"});
    WriteText(root / "cfg/config.cfg",
              "[WebServer]\nEnabled=1\nPort=" + std::to_string(webPort) +
                  "\n[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" + std::to_string(simPort) +
                  "\ninterval=50\n"
                  "[Channel.0]\nName=Flow\nPort=4\nFunction=2\nRegisterAddr=101\nFormat=%0.1f\n"
                  "[Screens]\nScreenCfgId.0=5\nScreenCfgId.1=6\n");
    // Front first: a next-screen button, a preset button that asks, a display of the tag.
    WriteText(root / "cfg/screen.5.cfg",
              "[General]\nTitle=Plant\nWidth=320\nHeight=200\nNoOfMarkers=3\n"
              "[Marker.0]\nTL=200,0\nBR=300,30\nType=5\nAttrInt1=1\n"
              "[Marker.1]\nTL=0,100\nBR=100,130\nType=51\nChannel=0\nAttrStr1=Start\n"
              "AttrDouble1=2.5\nConfirm=1\n"
              "[Marker.2]\nTL=0,40\nBR=320,80\nType=0\nChannel=0\n");
    WriteText(root / "cfg/screen.6.cfg", "[General]\nTitle=Pumps\nWidth=200\nHeight=100\n");
    Process station(HALVANE_BINARY,
                    {"--data-root", QString::fromStdString(root.Path().string()), "-runtime"});

    std::string list;
    ASSERT_TRUE(WaitUntil([&] {
        list = Fetch(webPort, "/api/screens");
        return !list.empty();
    }));
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(list)), QJsonDocument::fromJson(R"([
                  {"number": 0, "title": "Plant", "width": 320, "height": 200},
                  {"number": 1, "title": "Pumps", "width": 200, "height": 100}])"))
        << list;

    std::string screen;
    QJsonArray objects;
    ASSERT_TRUE(WaitUntil([&] {
        screen = Fetch(webPort, "/api/screens/0");
        objects = QJsonDocument::fromJson(QByteArray::fromStdString(screen))["objects"].toArray();
        return !objects.isEmpty();
    })) << screen;
    QJsonArray acts;
    for (const QJsonValue object : objects) {
        QJsonObject act = object.toObject();
        const QRect area(act["x"].toInt(), act["y"].toInt(), act["width"].toInt(),
                         act["height"].toInt());
        EXPECT_TRUE(QRect(0, 0, 320, 200).contains(area)) << screen;
        for (const char* place : {"x", "y", "width", "height"})
            act.remove(place);
        acts.append(act);
    }
    EXPECT_EQ(QJsonDocument(acts), QJsonDocument::fromJson(R"([
        {"type": "Numeric Display", "tag": 1, "action": null, "value": null, "screen": null,
         "confirm": false},
        {"type": "Preset Value Button", "tag": 1, "action": "preset", "value": 2.5,
         "screen": null, "confirm": true},
        {"type": "Function Button", "tag": null, "action": "goto", "value": null, "screen": 1,
         "confirm": false}])"))
        << screen;

    // Once the simulator's values are shown they stay, and so does the frame.
    std::string png;
    std::string bmp;
    const auto samePixels = [&] {
        png = Fetch(webPort, "/screen.0.png");
        bmp = Fetch(webPort, "/screen-image-0.bmp");
        const QImage fromPng = QImage::fromData(QByteArray::fromStdString(png), "PNG");
        const QImage fromBmp = QImage::fromData(QByteArray::fromStdString(bmp), "BMP");
        return fromPng.size() == QSize(320, 200) &&
               fromPng.convertToFormat(QImage::Format_RGB32) ==
                   fromBmp.convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_TRUE(WaitUntil(samePixels))
        << png.size() << " bytes of PNG, " << bmp.size() << " of BMP";
    EXPECT_LT(png.size() * 4, bmp.size());
}
