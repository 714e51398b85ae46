#include "WebTestSupport.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Curl;
using test::HttpReply;

const std::string kJsonType = "application/json; charset=utf-8";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "first";

// The JSON text with its keys sorted and no spaces, so that two texts of one value compare
// equal; empty when it is no JSON.
std::string Json(std::string_view text) {
    const auto document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    return document.toJson(QJsonDocument::Compact).toStdString();
}

ScreenObjectInfo Preset() {
    return {"Preset Value Button", 10, 40, 110, 20, 2, "preset", 0.5, std::nullopt, true};
}

ScreenObjectInfo Display() {
    return {"Numeric Display", 12, 14, 48, 16, 1, "", std::nullopt, std::nullopt, false};
}

ScreenObjectInfo NextScreen() {
    return {"Function Button", 200, 5, 40, 20, std::nullopt, "goto", std::nullopt, 0, false};
}

class ScreenApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        station.SetCredentials("Operator", "pw");
        station.SetScreens({
            {"Overview", "BM-0", kPng, {640, 480}, {Display(), Preset(), NextScreen()}},
            {"Pumps \xB0", "BM-1", "", {320, 200}, {}}, // not painted yet: no PNG
        });
        server.emplace(station.Context());
        ASSERT_TRUE(server->Start(0)) << server->LastError();
    }

    HttpReply Get(const std::string& path, bool login = true) {
        return Curl(server->Port(), path,
                    login ? std::vector<std::string>{"-u", "Operator:pw"}
                          : std::vector<std::string>{});
    }

    test::WebStation station;
    std::optional<WebServer> server;
};

TEST_F(ScreenApiTest, ScreenPicturesAsPngFollowTheRulesOfTheBmpPictures) {
    const HttpReply unpainted = Get("/screen.1.png");
    EXPECT_EQ(unpainted.status, 404);
    EXPECT_EQ(unpainted.Header("content-type"), kJsonType);
    station.Document("screen.1.png", "file of screen 1");
    const struct {
        std::string path;
        bool login;
        int status;
        std::string body;
    } cases[] = {
        // clang-format off
        {"/screen.0.png",     true,  200, kPng},
        {"/screen.0.png",     false, 401, ""},
        // A file of the name wins.
        {"/screen.1.png",     true,  200, "file of screen 1"},
        // Beyond the list.
        {"/screen.2.png",     true,  404, ""},
        {"/screen.-1.png",    true,  404, ""},
        // A number that is no integer fails with the message.
        {"/screen.x.png",     true,  500, "'x' is not a valid integer value"},
        {"/screen.1.5.png",   true,  500, "'1.5' is not a valid integer value"},
        {"/screen..png",      true,  500, "'' is not a valid integer value"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const HttpReply reply = Get(c.path, c.login);
        EXPECT_EQ(reply.status, c.status) << c.path;
        if (!c.body.empty()) {
            EXPECT_EQ(reply.body, c.body) << c.path;
        }
    }
    EXPECT_EQ(Get("/screen.0.png").Header("content-type"), "image/png");
}

TEST_F(ScreenApiTest, TheScreenListTellsEachScreenByItsPosition) {
    const HttpReply reply = Get("/api/screens");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("content-type"), kJsonType);
    EXPECT_EQ(Json(reply.body), Json(R"([
        {"number": 0, "title": "Overview", "width": 640, "height": 480},
        {"number": 1, "title": "Pumps °", "width": 320, "height": 200}])"));
    EXPECT_EQ(Get("/api/screens", false).status, 401);
}

TEST_F(ScreenApiTest, AScreenTellsItsActingObjects) {
    const HttpReply reply = Get("/api/screens/0");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("content-type"), kJsonType);
    EXPECT_EQ(Json(reply.body), Json(R"({
        "number": 0, "title": "Overview", "width": 640, "height": 480, "objects": [
        {"type": "Numeric Display", "x": 12, "y": 14, "width": 48, "height": 16, "tag": 1,
         "action": null, "value": null, "screen": null, "confirm": false},
        {"type": "Preset Value Button", "x": 10, "y": 40, "width": 110, "height": 20, "tag": 2,
         "action": "preset", "value": 0.5, "screen": null, "confirm": true},
        {"type": "Function Button", "x": 200, "y": 5, "width": 40, "height": 20, "tag": null,
         "action": "goto", "value": null, "screen": 0, "confirm": false}]})"));
    EXPECT_EQ(Json(Get("/api/screens/1").body),
              Json(R"({"number": 1, "title": "Pumps °", "width": 320, "height": 200,
                       "objects": []})"));
    for (const char* path : {"/api/screens/2", "/api/screens/-1", "/api/screens/x", "/api/screens/",
                             "/api/screens/0/objects"}) {
        const HttpReply missing = Get(path);
        EXPECT_EQ(missing.status, 404) << path;
        EXPECT_EQ(missing.Header("content-type"), kJsonType) << path;
        EXPECT_EQ(Json(missing.body), R"({"error":"No such screen"})") << path;
    }
    EXPECT_EQ(Get("/api/screens/0", false).status, 401);
}

TEST(ScreenApi, AStationWithoutScreensListsNone) {
    test::WebStation station;
    WebServer server{station.Context()};
    ASSERT_TRUE(server.Start(0)) << server.LastError();
    EXPECT_EQ(Curl(server.Port(), "/api/screens").body, "[]");
    EXPECT_EQ(Curl(server.Port(), "/api/screens/0").status, 404);
    EXPECT_EQ(Curl(server.Port(), "/screen.0.png").status, 404);
}

} // namespace
} // namespace halvane
