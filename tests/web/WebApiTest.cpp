#include "Accounts.h"
#include "AlarmService.h"
#include "WebServer.h"

#include "WebTestSupport.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvane {
namespace {

using test::HttpReply;
using test::NamedTag;

constexpr std::string_view kOperator = "olga:olga-password";
constexpr std::string_view kViewer = "vera:vera-password";

QJsonDocument Json(const HttpReply& reply) {
    EXPECT_EQ(reply.Header("content-type"), "application/json; charset=utf-8") << reply.body;
    return QJsonDocument::fromJson(QByteArray::fromStdString(reply.body));
}

std::string ErrorOf(const HttpReply& reply) {
    return Json(reply).object()["error"].toString().toStdString();
}

// A station of an input tag "Level" (42.5 %, alarm limits 10 and 90) and an output tag
// "Setpoint" on a holding register that operators may set between 0 and 100; its alarm
// service and web server run. Accounts are made by the tests that want them.
class WebApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        TDataChannel level = NamedTag("Level", "%", 42.5);
        level.ValueValid = true;
        level.Status = "OK";
        level.EnableAlert = true;
        level.HighThreshold = 90;
        level.LowThreshold = 10;
        TDataChannel setpoint = NamedTag("Setpoint", "bar", 3, "%0.1f");
        setpoint.Function = 5; // Write Holding Register
        setpoint.DefaultValue = 3;
        setpoint.WriteMin = 0;
        setpoint.WriteMax = 100;
        station.SetTags({level, setpoint});
        AlarmOptions options;
        options.commDelaySeconds = 0;
        ASSERT_TRUE(web.Start(options)) << web.server->LastError();
        web.alarms->Configure({true, true, true, true, true}, false);
    }

    void AddAccounts() {
        ASSERT_EQ(accounts.Add("olga", Role::Operator, "olga-password"), std::nullopt);
        ASSERT_EQ(accounts.Add("vera", Role::Viewer, "vera-password"), std::nullopt);
    }

    int Port() const { return web.server->Port(); }
    std::string Own() const { return "http://127.0.0.1:" + std::to_string(Port()); }

    HttpReply Get(const std::string& path, std::string_view login = kOperator) {
        std::vector<std::string> options;
        if (!login.empty())
            options = {"-u", std::string(login)};
        return test::Curl(Port(), path, options);
    }

    // A POST of `body` as JSON, with `login` (none when empty) and further headers.
    HttpReply Post(const std::string& path, const std::string& body,
                   std::string_view login = kOperator, std::vector<std::string> headers = {}) {
        std::vector<std::string> options{"-X", "POST", "--data-binary", body};
        if (!login.empty())
            options.insert(options.end(), {"-u", std::string(login)});
        if (std::ranges::none_of(headers, [](const std::string& header) {
                return header.starts_with("Content-Type:");
            }))
            headers.push_back("Content-Type: application/json");
        for (const std::string& header : headers)
            options.insert(options.end(), {"-H", header});
        return test::Curl(Port(), path, options);
    }

    void Read(size_t index, double value) { web.Read(index, value); }

    std::string Journal() {
        web.alarms->Flush();
        const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString();
        return Get("/api/events?from=" + today).body;
    }

    test::WebStation station;
    test::WebStationWithAlarms web{station};
    AccountStore accounts{UsersFile()};
};

TEST_F(WebApiTest, ListsTheTagsAndAnswersOneByItsNumber) {
    const HttpReply list = Get("/api/tags");
    EXPECT_EQ(list.status, 200);
    const QJsonArray tags = Json(list).array();
    ASSERT_EQ(tags.size(), 2);
    const QJsonObject level = tags[0].toObject();
    EXPECT_EQ(level["number"], 1);
    EXPECT_EQ(level["name"], "Level");
    EXPECT_EQ(level["value"], 42.5);
    EXPECT_EQ(level["text"], "42.50 %");
    EXPECT_EQ(level["writable"], false);
    EXPECT_EQ(tags[1].toObject()["writable"], true);

    Read(0, 95);
    const HttpReply one = Get("/api/tags/1");
    EXPECT_EQ(one.status, 200);
    const QJsonObject high = Json(one).object();
    EXPECT_EQ(high["number"], 1);
    EXPECT_EQ(high["value"], 95);
    EXPECT_EQ(high["alarm"], "high");
    EXPECT_EQ(Json(Get("/api/tags/2")).object()["name"], "Setpoint");

    for (const std::string path :
         {"/api/tags/0", "/api/tags/3", "/api/tags/x", "/api/tags/1/2", "/api/tags/99999999999"}) {
        const HttpReply missing = Get(path);
        EXPECT_EQ(missing.status, 404) << path;
        EXPECT_FALSE(ErrorOf(missing).empty()) << path;
    }
    EXPECT_EQ(Post("/api/tags", R"({"value": 1})").status, 405);
}

TEST_F(WebApiTest, TellsWhoIsLoggedInAndWhetherTheyMayOperate) {
    const auto session = [this](std::string_view login) {
        const HttpReply reply = Get("/api/session", login);
        EXPECT_EQ(reply.status, 200) << reply.body;
        return Json(reply).object();
    };
    const QJsonObject nobody = session("");
    EXPECT_TRUE(nobody["user"].isNull());
    EXPECT_TRUE(nobody["role"].isNull());
    EXPECT_EQ(nobody["accounts"], false);
    EXPECT_EQ(nobody["operate"], false);

    AddAccounts();
    const QJsonObject olga = session(kOperator);
    EXPECT_EQ(olga["user"], "olga");
    EXPECT_EQ(olga["role"], "operator");
    EXPECT_EQ(olga["accounts"], true);
    EXPECT_EQ(olga["operate"], true);
    const QJsonObject vera = session(kViewer);
    EXPECT_EQ(vera["user"], "vera");
    EXPECT_EQ(vera["role"], "viewer");
    EXPECT_EQ(vera["operate"], false);
    EXPECT_EQ(Get("/api/session", "").status, 401);

    ASSERT_EQ(accounts.SetRole("vera", Role::Engineer), std::nullopt);
    EXPECT_EQ(session(kViewer)["operate"], true) << "a new role counts at once";
}

TEST_F(WebApiTest, WithoutAccountsTheWebOnlyReads) {
    station.SetCredentials("web", "web-password"); // the web user is no account
    for (const std::string path : {"/api/tags/2", "/api/alarms/1/ack"}) {
        const HttpReply refused = Post(path, R"({"value": 7})", "web:web-password");
        EXPECT_EQ(refused.status, 403) << path;
        EXPECT_EQ(ErrorOf(refused), "Writes need an account") << path;
    }
    EXPECT_EQ(station.Tags().Snapshot(1).RealValue, 3);
}

// Each refused write leaves the tag as it was; the accepted ones preset it.
TEST_F(WebApiTest, AWriteIsCheckedInTheStationsOrderBeforeItIsPreset) {
    AddAccounts();
    const std::string own = "Origin: " + Own();
    const std::string json14 = R"({"value": 14})";
    const std::string padded = std::string(kMaxBodyBytes - json14.size(), ' ') + json14;
    const struct Case {
        std::string what;
        std::string path;
        std::string body;
        std::string_view login;
        std::vector<std::string> headers;
        int status;
        std::string error; // the start of the message
        double value;      // the tag's value afterwards
    } cases[] = {
        {"viewer",
         "/api/tags/2",
         R"({"value": 5})",
         kViewer,
         {},
         403,
         "You are logged in as vera (viewer); this needs the operator role.",
         3},
        {"form post",
         "/api/tags/2",
         "value=5",
         kOperator,
         {"Content-Type: application/x-www-form-urlencoded"},
         415,
         "",
         3},
        {"no type", "/api/tags/2", R"({"value": 5})", kOperator, {"Content-Type:"}, 415, "", 3},
        {"other site",
         "/api/tags/2",
         R"({"value": 5})",
         kOperator,
         {"Origin: http://evil.example"},
         403,
         "",
         3},
        {"https origin over http",
         "/api/tags/2",
         R"({"value": 5})",
         kOperator,
         {"Origin: https://127.0.0.1:" + std::to_string(Port())},
         403,
         "",
         3},
        {"unknown tag", "/api/tags/3", R"({"value": 5})", kOperator, {}, 404, "", 3},
        {"not json", "/api/tags/2", "{value: 5}", kOperator, {}, 400, "", 3},
        {"text value", "/api/tags/2", R"({"value": "5"})", kOperator, {}, 400, "", 3},
        {"no value", "/api/tags/2", R"({"setpoint": 5})", kOperator, {}, 400, "", 3},
        {"array", "/api/tags/2", "[5]", kOperator, {}, 400, "", 3},
        {"input tag", "/api/tags/1", R"({"value": 5})", kOperator, {}, 409, "", 3},
        {"above WriteMax", "/api/tags/2", R"({"value": 100.5})", kOperator, {}, 409, "", 3},
        {"accepted, no origin", "/api/tags/2", R"({"value": 12.5})", kOperator, {}, 200, "", 12.5},
        {"accepted, own origin, charset",
         "/api/tags/2",
         R"({"value": 13})",
         kOperator,
         {own, "Content-Type: Application/JSON; charset=utf-8"},
         200,
         "",
         13},
        {"accepted behind TLS proxy",
         "/api/tags/2",
         R"({"value": 99})",
         kOperator,
         {"Origin: https://127.0.0.1:" + std::to_string(Port()), "X-Forwarded-Proto: https"},
         200,
         "",
         99},
        {"accepted, largest body", "/api/tags/2", padded, kOperator, {}, 200, "", 14},
        {"body too large", "/api/tags/2", padded + " ", kOperator, {}, 413, "", 14},
    };
    for (const Case& c : cases) {
        const HttpReply reply = Post(c.path, c.body, c.login, c.headers);
        EXPECT_EQ(reply.status, c.status) << c.what << ": " << reply.body;
        if (c.status == 200) {
            EXPECT_EQ(Json(reply).object()["result"], "accepted") << c.what;
        } else if (c.status != 413) {
            EXPECT_TRUE(ErrorOf(reply).starts_with(c.error)) << c.what << ": " << reply.body;
        }
        EXPECT_EQ(station.Tags().Snapshot(1).RealValue, c.value) << c.what;
    }
    const HttpReply range = Post("/api/tags/2", R"({"value": -1})");
    EXPECT_NE(ErrorOf(range).find("0"), std::string::npos) << "names the limits: " << range.body;

    const TDataChannel setpoint = station.Tags().Snapshot(1);
    EXPECT_EQ(setpoint.Status, "Pending write");
    EXPECT_EQ(setpoint.DefaultValue, 14) << "kept for the next start";
    const std::string journal = Journal();
    EXPECT_NE(journal.find(",write,2,Setpoint,"), std::string::npos) << journal;
    EXPECT_NE(journal.find(",olga,web,"), std::string::npos) << journal;
    EXPECT_EQ(journal.find(",vera,"), std::string::npos) << journal;
}

TEST_F(WebApiTest, OperatorsAcknowledgeAndShelveTheAlarmsOfATag) {
    AddAccounts();
    Read(0, 95);
    EXPECT_EQ(Post("/api/alarms/1/ack", "{}", kViewer).status, 403);
    EXPECT_EQ(Post("/api/alarms/3/ack", "{}").status, 404);
    EXPECT_EQ(Get("/api/alarms/1/ack").status, 405);
    EXPECT_EQ(Post("/api/alarms/1/mute", "{}").status, 404);

    const HttpReply ack = Post("/api/alarms/1/ack", "");
    EXPECT_EQ(ack.status, 200) << ack.body;
    EXPECT_EQ(Json(ack).object(), (QJsonObject{{"result", "acknowledged"}, {"count", 1}}));
    const QJsonObject acknowledged = Json(Get("/api/alarms")).array()[0].toObject();
    EXPECT_EQ(acknowledged["state"], "acknowledged");
    EXPECT_EQ(acknowledged["acknowledged_by"], "olga");

    const struct {
        std::string body;
        int status;
    } shelves[] = {
        {R"({"minutes": 0, "reason": "sensor swap"})", 400},
        {R"({"minutes": 1e10, "reason": "sensor swap"})", 400}, // beyond what a time can hold
        {R"({"minutes": "60", "reason": "sensor swap"})", 400},
        {R"({"minutes": 60, "reason": "   "})", 400},
        {R"({"minutes": 60})", 400},
        {R"({"minutes": 60, "reason": ")" + std::string(201, 'x') + "\"}", 400},
        {R"({"minutes": 60, "reason": ")" + std::string(200, 'x') + "\"}", 200},
    };
    for (const auto& [body, status] : shelves) {
        Read(0, 95); // raised again, should a shelving have passed
        const HttpReply reply = Post("/api/alarms/1/shelve", body);
        EXPECT_EQ(reply.status, status) << body.substr(0, 60) << ": " << reply.body;
    }
    EXPECT_EQ(Json(Get("/api/alarms")).array().size(), 0);
    const QJsonObject shelved = Json(Get("/api/alarms?shelved=1")).array()[0].toObject();
    EXPECT_EQ(shelved["state"], "shelved");
    const std::string journal = Journal();
    EXPECT_NE(journal.find(",acknowledged,1,Level,"), std::string::npos) << journal;
    EXPECT_EQ(test::Occurrences(journal, ",olga,web,"), 2u) << journal;
}

} // namespace
} // namespace halvane
