#include "WebServer.h"

#include "WebTestSupport.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace halvane {
namespace {

using test::Curl;
using test::HttpReply;
using test::NamedTag;
using test::NumberedTags;
using test::Occurrences;

const std::string kNotFoundPage =
    "<html><head><title>Error</title></head><body>Not Found</body></html>";
const std::string kUnauthorizedPage =
    "<html><head><title>Error</title></head><body>Unauthorized</body></html>";
// What the server writes itself: pages one byte per character, messages in UTF-8.
const std::string kPageType = "text/html; charset=ISO-8859-1";
const std::string kMessageType = "text/plain; charset=UTF-8";

class WebServerTest : public test::WebServerFixture {};

TEST_F(WebServerTest, DocumentsAreSentWithTheTypeOfTheirExtension) {
    const std::string binary("\x00\x01\xFF\r\n\x80", 6);
    station.Document("index.html", "<html>caf\xE9</html>");
    station.Document("sub/STYLE.CSS", "p { color: red }");
    station.Document("data.bin", binary);
    station.Document("page.tpl", "${tag_count}");
    station.Document("empty.txt", "");
    const struct {
        std::string path;
        std::string type;
        std::string body;
    } cases[] = {
        {"/", "text/html", "<html>caf\xE9</html>"},
        {"/index.html", "text/html", "<html>caf\xE9</html>"},
        {"/sub/STYLE.CSS", "text/css", "p { color: red }"},
        {"/data.bin", "application/octet-stream", binary},
        {"/page.tpl", "application/octet-stream", "${tag_count}"}, // not expanded
        {"/empty.txt", "text/plain", ""},
        {"/index.html?x=1", "text/html", "<html>caf\xE9</html>"},
    };
    for (const auto& c : cases) {
        // Accept-Encoding asks for compression, which must not change any body.
        const HttpReply reply = Get(c.path, {"-H", "Accept-Encoding: gzip, br"});
        EXPECT_EQ(reply.status, 200) << c.path;
        EXPECT_EQ(reply.Header("content-type"), c.type) << c.path;
        EXPECT_EQ(reply.Header("content-length"), std::to_string(c.body.size())) << c.path;
        EXPECT_FALSE(reply.HasHeader("content-encoding")) << c.path;
        EXPECT_EQ(reply.body, c.body) << c.path;
        EXPECT_EQ(reply.Header("connection"), "close") << c.path;
    }
}

TEST_F(WebServerTest, HeadSendsTheLengthOfADocumentWithoutBody) {
    station.Document("big.bin", std::string(200'000, 'x'));
    const HttpReply reply = Get("/big.bin", {"-I"});
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("content-type"), "application/octet-stream");
    EXPECT_EQ(reply.Header("content-length"), "200000");
    EXPECT_EQ(reply.body, "");
    EXPECT_EQ(Get("/big.bin").body, std::string(200'000, 'x'));
    EXPECT_EQ(Get("/missing.bin", {"-I"}).status, 404);
}

TEST_F(WebServerTest, RangesGiveExactlyTheBytesTheyName) {
    // The same twelve bytes as an expanded template, a screen picture and a document.
    const std::string body = "0123456789\r\n";
    station.Document("page.html.tpl", "0123456789");
    station.Document("file.txt", body);
    station.SetScreens({{"Overview", body}});
    WebServer withScreen{station.Context()};
    ASSERT_TRUE(withScreen.Start(0)) << withScreen.LastError();
    const struct {
        std::string range;
        int status;
        std::string contentRange; // empty: none
        std::string body;         // of 200 and 206
    } cases[] = {
        // clang-format off
        {"bytes=2-4",                    206, "bytes 2-4/12",   "234"},
        {"bytes=5-40",                   206, "bytes 5-11/12",  "56789\r\n"},
        {"bytes=10-",                    206, "bytes 10-11/12", "\r\n"},
        {"bytes=-3",                     206, "bytes 9-11/12",  "9\r\n"},
        {"bytes=-40",                    206, "bytes 0-11/12",  body},
        {"bytes=12-",                    416, "bytes */12",     ""},
        {"bytes=99999999-",              416, "bytes */12",     ""},
        {"bytes=184467440737095516160-", 416, "bytes */12",     ""},
        {"bytes=-0",                     416, "bytes */12",     ""},
        // Not one valid range: ignored, the whole body.
        {"bytes=4-2",                    200, "",               body},
        {"bytes=0-1,4-5",                200, "",               body},
        {"bytes=x-",                     200, "",               body},
        {"lines=0-1",                    200, "",               body},
        // clang-format on
    };
    for (const char* path : {"/page.html", "/screen-image-0.bmp", "/file.txt"}) {
        for (const auto& c : cases) {
            const std::string label = std::string(path) + " " + c.range;
            const HttpReply reply = Curl(withScreen.Port(), path, {"-H", "Range: " + c.range});
            EXPECT_EQ(reply.status, c.status) << label;
            EXPECT_EQ(reply.Header("content-range"), c.contentRange) << label;
            EXPECT_EQ(reply.Header("content-length"), std::to_string(reply.body.size())) << label;
            if (c.status == 416)
                EXPECT_EQ(reply.body, "<html><head><title>Error</title></head><body>Range Not "
                                      "Satisfiable</body></html>")
                    << label;
            else
                EXPECT_EQ(reply.body, c.body) << label;
        }
        // Only GET has ranges.
        EXPECT_EQ(Curl(withScreen.Port(), path, {"-I", "-H", "Range: bytes=99-"}).status, 200);
    }
}

TEST_F(WebServerTest, AClientThatClosesItsSendingSideGetsTheWholeAnswer) {
    station.Document("page.html.tpl", "${tag_count} tags");
    station.Document("big.bin", std::string(300'000, 'b'));
    const struct {
        std::string path;
        int status;
        std::string body;
    } cases[] = {
        {"/page.html", 200, "0 tags\r\n"},
        {"/big.bin", 200, std::string(300'000, 'b')},
        {"/missing.html", 404, kNotFoundPage},
    };
    for (const auto& c : cases) {
        test::RawClient client(server.Port());
        ASSERT_TRUE(client.Send("GET " + c.path + " HTTP/1.1\r\nHost: a\r\n\r\n"));
        client.CloseSending();
        const HttpReply reply = test::ParseReply(client.Receive(std::chrono::seconds(5)));
        EXPECT_EQ(reply.status, c.status) << c.path;
        EXPECT_EQ(reply.body, c.body) << c.path;
        EXPECT_TRUE(client.Closed()) << c.path;
    }
}

TEST_F(WebServerTest, OtherMethodsAndMalformedRequestsGetAnErrorPage) {
    station.Document("index.html", "x");
    const struct {
        std::vector<std::string> options;
        int status;
        std::string reason;
    } cases[] = {
        {{"-X", "PUT", "-d", "x"}, 405, "Method Not Allowed"},
        {{"-X", "DELETE"}, 405, "Method Not Allowed"},
        {{"-X", "OPTIONS"}, 405, "Method Not Allowed"},
        {{"-X", "head"}, 400, "Bad Request"},
    };
    for (const auto& c : cases) {
        const HttpReply reply = Get("/", c.options);
        EXPECT_EQ(reply.status, c.status) << c.options[1];
        EXPECT_EQ(reply.Header("content-type"), kPageType) << c.options[1];
        EXPECT_EQ(reply.body,
                  "<html><head><title>Error</title></head><body>" + c.reason + "</body></html>")
            << c.options[1];
    }
    EXPECT_EQ(Get("/", {"-X", "DELETE"}).Header("allow"), "GET, HEAD, POST");
}

TEST_F(WebServerTest, PostIsAnsweredLikeGet) {
    station.Document("index.html.tpl", "${tag_count} tags");
    const HttpReply reply = Get("/", {"-d", "ignored=1"});
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "0 tags\r\n");
}

TEST_F(WebServerTest, RootWithOnlyATemplateIsTheExpandedTemplate) {
    station.SetTags({NamedTag("Level", "m", 2.5)});
    station.Document("index.html.tpl", "<p>${tag_name.0}: ${tag_value.0} ${tag_unit.0}</p>");
    const HttpReply reply = Get("/", {"-H", "Accept-Encoding: gzip"});
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("content-type"), kPageType);
    EXPECT_FALSE(reply.HasHeader("content-encoding"));
    EXPECT_EQ(reply.body, "<p>Level: 2.50 m</p>\r\n");
    EXPECT_EQ(reply.Header("content-length"), std::to_string(reply.body.size()));
    EXPECT_EQ(Get("/index.html").body, reply.body);
    EXPECT_EQ(Get("/index.html.tpl").body, "<p>${tag_name.0}: ${tag_value.0} ${tag_unit.0}</p>");
}

TEST_F(WebServerTest, RequestRulesApplyInTheirOrder) {
    station.SetCredentials("Operator", "pw");
    station.SetScreens({{"Overview", "BM-0"}});
    station.Document("page.html", "file");
    station.Document("page.html.tpl", "template");
    station.Document("screen-image-0.bmp.tpl", "template of screen 0");
    station.Document("screen-image-3.bmp", "file of screen 3");
    station.Document("screen-image-5.bmp.tpl", "template of screen 5");
    station.Document("screen-image-x.bmp", "file of screen x");
    station.Document("screen-image--1.bmp.tpl", "template of screen -1");
    WebServer withScreens{station.Context()};
    ASSERT_TRUE(withScreens.Start(0)) << withScreens.LastError();
    const std::vector<std::string> none;
    const std::vector<std::string> login = {"-u", "Operator:pw"};
    const struct {
        std::string path;
        const std::vector<std::string>& options;
        int status;
        std::string body;
    } cases[] = {
        // clang-format off
        // A file wins over the template of its name.
        {"/page.html",           login, 200, "file"},
        {"/page.html",           none,  401, kUnauthorizedPage},
        // A screen number of 0 or more names a screen, never a template; a file still wins.
        {"/screen-image-0.bmp",  login, 200, "BM-0"},
        {"/screen-image-0.bmp",  none,  401, kUnauthorizedPage},
        {"/screen-image-3.bmp",  login, 200, "file of screen 3"},
        // Beyond the list: refused only to those who may see the list.
        {"/screen-image-1.bmp",  none,  401, kUnauthorizedPage},
        {"/screen-image-1.bmp",  login, 404, kNotFoundPage},
        {"/screen-image-5.bmp",  login, 404, kNotFoundPage},
        // A number that is no integer fails before files and credentials are looked at.
        {"/screen-image-x.bmp",  none,  500, "'x' is not a valid integer value"},
        // A negative number names no screen: the path is an ordinary one.
        {"/screen-image--1.bmp", login, 200, "template of screen -1\r\n"},
        {"/screen-image--2.bmp", none,  404, kNotFoundPage},
        // Nothing there: not found, before credentials are asked.
        {"/missing.html",        none,  404, kNotFoundPage},
        {"/../cfg/config.cfg",   none,  404, kNotFoundPage},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::string label = c.path + (c.options.empty() ? "" : " with credentials");
        const HttpReply reply = Curl(withScreens.Port(), c.path, c.options);
        EXPECT_EQ(reply.status, c.status) << label;
        EXPECT_EQ(reply.body, c.body) << label;
    }
}

TEST_F(WebServerTest, ScreenPicturesComeFromTheScreenList) {
    EXPECT_EQ(Get("/screen-image-0.bmp").status, 404); // no screens yet
    station.SetScreens({{"Overview", "BM-first"}, {"Pumps", std::string("BM\0\xFF", 4)}});
    WebServer withScreens{station.Context()};
    ASSERT_TRUE(withScreens.Start(0)) << withScreens.LastError();
    const HttpReply second = Curl(withScreens.Port(), "/screen-image-1.bmp");
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(second.Header("content-type"), "image/bmp");
    EXPECT_EQ(second.body, std::string("BM\0\xFF", 4));
    EXPECT_EQ(Curl(withScreens.Port(), "/screen-image-0.bmp").body, "BM-first");
    EXPECT_EQ(Curl(withScreens.Port(), "/screen-image-1.bmpx").body, second.body);
    for (const char* path : {"/screen-image-2.bmp", "/screen-image--1.bmp", "/screen-image-1",
                             "/Screen-image-1.bmp", "/screen-image-1.BMP"}) {
        const HttpReply reply = Curl(withScreens.Port(), path);
        EXPECT_EQ(reply.status, 404) << path;
        EXPECT_EQ(reply.body, kNotFoundPage) << path;
    }
}

class FailingScreens final : public ScreenSource {
public:
    size_t ScreenCount() const override { return 1; }
    std::string ScreenCaption(size_t) const override { throw std::runtime_error("no caption"); }
    SharedBmp ScreenBmp(size_t) const override { throw std::runtime_error("frame lost"); }
};

TEST_F(WebServerTest, AFailureWhileAnsweringIsStatus500WithItsMessage) {
    FailingScreens screens;
    TemplateCounters counters;
    const WebContext context = station.Context();
    WebServer failing{{context.store, context.tags, &screens, counters}};
    ASSERT_TRUE(failing.Start(0)) << failing.LastError();
    station.Document("caption.html.tpl", "${screen_name.0}");
    for (const auto& [path, message] : {std::pair{"/screen-image-0.bmp", "frame lost"},
                                        std::pair{"/caption.html", "no caption"}}) {
        const HttpReply reply = Curl(failing.Port(), path);
        EXPECT_EQ(reply.status, 500) << path;
        EXPECT_EQ(reply.body, message) << path;
        EXPECT_EQ(reply.Header("content-type"), kMessageType) << path;
        EXPECT_FALSE(reply.HasHeader("exception_what")) << path;
    }
}

TEST_F(WebServerTest, NumbersThatAreNoIntegersFailWithTheirMessage) {
    station.Document("bad.html.tpl", "ok\n${tag_name.two}\n");
    station.Document("big.html.tpl", "${screen_img.2147483648}");
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {"/screen-image-x.bmp", "'x' is not a valid integer value"},
        {"/screen-image-.bmp", "'' is not a valid integer value"},
        {"/screen-image-99999999999.bmp", "'99999999999' is not a valid integer value"},
        {"/screen-image-%3Cb%3E.bmp", "'<b>' is not a valid integer value"},
        {"/screen-image-%C3%A9.bmp", "'\xC3\xA9' is not a valid integer value"}, // UTF-8 "é"
        {"/screen-image-%E9.bmp", "'\xC3\xA9' is not a valid integer value"},    // its Latin-1
        {"/bad.html", "'two' is not a valid integer value"},
        {"/big.html", "'2147483648' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        const HttpReply reply = Get(c.path);
        EXPECT_EQ(reply.status, 500) << c.path;
        EXPECT_EQ(reply.body, c.message) << c.path;
        EXPECT_EQ(reply.Header("content-type"), kMessageType) << c.path;
        EXPECT_FALSE(reply.HasHeader("exception_what")) << c.path;
    }
}

TEST_F(WebServerTest, MissingThingsGetTheErrorPage) {
    station.Document("sub/page.html", "x");
    for (const char* path :
         {"/missing.html", "/index.html", "/sub", "/sub/", "/page.html", "/%00", "/a%0Ab"}) {
        const HttpReply reply = Get(path);
        EXPECT_EQ(reply.status, 404) << path;
        EXPECT_EQ(reply.Header("content-type"), kPageType) << path;
        EXPECT_EQ(reply.body, kNotFoundPage) << path;
    }
    const HttpReply longPath = Get("/" + std::string(8000, 'a'));
    EXPECT_TRUE(longPath.status == 404 || longPath.status == 414) << longPath.status;
}

TEST_F(WebServerTest, NoPathReachesAFileOutsideTheDocumentRoot) {
    WriteText(station.Dir() / "cfg/secret.txt", "secret");
    WriteText(station.Dir() / "httpx/page.html", "sibling");
    station.Document("sub/page.html", "inside");
    for (const char* path :
         {"/../cfg/secret.txt", "/%2e%2e/cfg/secret.txt", "/%2E%2E/cfg/secret.txt",
          "/..%2fcfg%2fsecret.txt", "/..%5ccfg%5csecret.txt", "/sub/../../cfg/secret.txt",
          "/sub/%2e%2e/%2e%2e/cfg/secret.txt", "/../httpx/page.html", "/sub/../page.html", "/..",
          "/%2e%2e"}) {
        const HttpReply reply = Get(path);
        EXPECT_EQ(reply.status, 404) << path;
        EXPECT_EQ(reply.body, kNotFoundPage) << path;
    }
    EXPECT_EQ(Get("/sub/page.html").body, "inside");
}

TEST_F(WebServerTest, CredentialsAreAskedOnlyWhenAUserNameIsSet) {
    station.Document("index.html", "welcome");
    station.SetCredentials("", "secret");
    EXPECT_EQ(Get("/").status, 200);

    station.SetCredentials("Operator", "s3cret:x");
    const HttpReply challenge = Get("/");
    EXPECT_EQ(challenge.status, 401);
    EXPECT_EQ(challenge.Header("www-authenticate"), "Basic realm=\"Login to Halvane\"");
    EXPECT_EQ(challenge.Header("content-type"), kPageType);
    EXPECT_EQ(challenge.body, kUnauthorizedPage);

    const struct {
        std::string credentials;
        int status;
    } cases[] = {
        {"Operator:s3cret:x", 200}, {"operator:s3cret:x", 401}, {"Operator:S3cret:x", 401},
        {"Operator:s3cret", 401},   {"Operator:", 401},         {":s3cret:x", 401},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Get("/", {"-u", c.credentials}).status, c.status) << c.credentials;
    EXPECT_EQ(Get("/", {"-H", "Authorization: Basic !!!!"}).status, 401);
    EXPECT_EQ(Get("/", {"-u", "Operator:s3cret:x"}).body, "welcome");

    // Read at every request: a change applies to the next one.
    station.SetCredentials("Operator", "new");
    EXPECT_EQ(Get("/", {"-u", "Operator:s3cret:x"}).status, 401);
    EXPECT_EQ(Get("/", {"-u", "Operator:new"}).status, 200);
}

TEST_F(WebServerTest, ListingCountersPersistBetweenRequests) {
    station.SetTags(
        {NamedTag("Level", "m", 2.5), NamedTag("Flow", "l/s", 7), NamedTag("Temp", "C", 21)});
    const std::string rows = "<tr><td>${tag_name_next}</td><td>${tag_value_next}</td></tr>\n"
                             "${tag_gotonext}\n"
                             "</table>";
    station.Document("list.html.tpl", "<table>\n" + rows);
    station.Document("reset.html.tpl", "<table>${tag_resetcount}\n" + rows);
    const std::string all = "<table>\r\n"
                            "<tr><td>Level</td><td>2.50</td></tr>\r\n"
                            "<tr><td>Flow</td><td>7.00</td></tr>\r\n"
                            "<tr><td>Temp</td><td>21.00</td></tr>\r\n"
                            "\r\n"
                            "</table>\r\n";
    EXPECT_EQ(Get("/list.html").body, all);
    EXPECT_EQ(Get("/list.html").body,
              "<table>\r\n<tr><td>Temp</td><td>21.00</td></tr>\r\n\r\n</table>\r\n");
    EXPECT_EQ(Get("/reset.html").body, all);
}

TEST_F(WebServerTest, TheDemoPageListsEveryTagAndScreen) {
    station.SetTags(
        {NamedTag("Tank level", "m", 2.5), NamedTag("Water temperature", "°C", 12.34, "%0.1f")});
    station.SetScreens({{"Overview", "BM0"}, {"Pumps", "BM1"}});
    station.Document("index.html.tpl", ReadText(HALVANE_DEMO_ROOT "/http/index.html.tpl"));
    WebServer demo{station.Context()};
    ASSERT_TRUE(demo.Start(0)) << demo.LastError();
    for (int request = 0; request < 2; ++request) {
        const std::string page = Curl(demo.Port(), "/").body;
        EXPECT_NE(page.find("<title>Halvane</title>"), std::string::npos);
        EXPECT_NE(page.find("<meta http-equiv=\"refresh\" content=\"2\">"), std::string::npos);
        EXPECT_EQ(Occurrences(page, "<td class=\"number\">"), 2u);
        EXPECT_NE(page.find("<td>Tank level</td><td class=\"value\">2.50</td><td>m</td>"),
                  std::string::npos);
        EXPECT_NE(page.find("<td>Water temperature</td><td class=\"value\">12.3</td>"
                            "<td>\260C</td>"), // octal 260: the Latin-1 byte of "°"
                  std::string::npos);
        EXPECT_EQ(Occurrences(page, "<img "), 2u);
        EXPECT_NE(page.find("<img src=\"screen-image-0.bmp\" alt=\"Overview\">"),
                  std::string::npos);
        EXPECT_NE(page.find("<img src=\"screen-image-1.bmp\" alt=\"Pumps\">"), std::string::npos);
        EXPECT_EQ(page.find("${"), std::string::npos);
    }
}

TEST_F(WebServerTest, NonLatin1TextIsSentAsCharacterReferences) {
    // Tag texts stored as UTF-8 and as Windows-1252 ("D\xE9bit"); templates in
    // Windows-1252, UTF-8 with a byte-order mark and UTF-8 without. Latin-1 bytes are
    // written in octal below: \351 "é", \260 "°", \263 "³".
    station.SetTags(
        {NamedTag("Température €", "°C", 21.5, "%0.1f"), NamedTag("D\351bit", "m\263/h", 3)});
    station.Document("a.html.tpl", "${tag_name.0}=${tag_value.0} ${tag_unit.0}\n"
                                   "${tag_name.1} ${tag_unit.1} \351t\351");
    station.Document("b.html.tpl", "\xEF\xBB\xBF"
                                   "été Ω");
    station.Document("c.html.tpl", "été Ω");
    const HttpReply a = Get("/a.html");
    EXPECT_EQ(a.body, "Temp\351rature &#8364;=21.5 \260C\r\nD\351bit m\263/h \351t\351\r\n");
    EXPECT_EQ(a.Header("content-type"), kPageType);
    EXPECT_EQ(a.Header("content-length"), std::to_string(a.body.size()));
    EXPECT_EQ(Get("/b.html").body, "\351t\351 &#937;\r\n");
    EXPECT_EQ(Get("/c.html").body, "\351t\351 &#937;\r\n");
}

TEST_F(WebServerTest, ConcurrentRequestsAreAllAnswered) {
    station.SetTags(NumberedTags(20));
    station.Document("list.html.tpl", "${tag_resetcount}\n${tag_name_next}\n${tag_gotonext}");
    station.Document("index.html", "static");
    std::atomic<int> failures = 0;
    std::vector<std::thread> clients;
    for (int t = 0; t < 6; ++t) {
        clients.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const HttpReply reply = Get(t % 2 ? "/list.html" : "/index.html");
                failures += reply.status != 200 || reply.body.empty();
            }
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(failures.load(), 0);
}

// Every page of a listing holds each tag's own name and value, whatever other clients
// load meanwhile.
TEST_F(WebServerTest, ConcurrentListingsNeverMixTags) {
    constexpr size_t kTags = 300;
    std::vector<TDataChannel> tags;
    std::string expected = "\r\n";
    for (size_t i = 0; i < kTags; ++i) {
        tags.push_back(NamedTag("T" + std::to_string(i), "", static_cast<double>(i), "%0.0f"));
        expected += "T" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    }
    expected += "\r\n";
    station.SetTags(std::move(tags));
    station.Document("list.html.tpl",
                     "${tag_resetcount}\n${tag_name_next}=${tag_value_next}\n${tag_gotonext}");
    std::atomic<int> mixed = 0;
    std::vector<std::thread> clients;
    for (int t = 0; t < 4; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                test::RawClient client(server.Port());
                client.Send("GET /list.html HTTP/1.1\r\nHost: a\r\n\r\n");
                mixed +=
                    test::ParseReply(client.Receive(std::chrono::seconds(10))).body != expected;
            }
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(mixed.load(), 0) << "of 100 pages";
}

TEST_F(WebServerTest, APortInUseFailsToStart) {
    const int port = server.Port();
    ASSERT_GT(port, 0);
    WebServer second{station.Context()};
    EXPECT_FALSE(second.Start(port));
    EXPECT_EQ(second.LastError(),
              "Cannot listen on port " + std::to_string(port) + ": Address already in use");
    EXPECT_EQ(second.Port(), 0);

    // Once the first one stops, the port is free again, also right after a request.
    station.Document("index.html", "x");
    EXPECT_EQ(Get("/").status, 200);
    server.Stop();
    EXPECT_EQ(server.Port(), 0);
    ASSERT_TRUE(second.Start(port)) << second.LastError();
    EXPECT_EQ(Curl(port, "/").body, "x");
    EXPECT_FALSE(server.Start(70000));
    EXPECT_EQ(server.LastError(), "Invalid port 70000");
}

// A listening socket of another program on every interface of one family; on IPv6 it
// takes no IPv4 connections. Port 0 when the family cannot listen here.
class ForeignListener {
public:
    explicit ForeignListener(int family) : m_fd(::socket(family, SOCK_STREAM, 0)) {
        sockaddr_storage address{};
        address.ss_family = static_cast<sa_family_t>(family);
        const int yes = 1;
        if (family == AF_INET6)
            ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_fd, 1) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                          : reinterpret_cast<sockaddr_in&>(address).sin_port);
    }
    ~ForeignListener() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ForeignListener(const ForeignListener&) = delete;
    ForeignListener& operator=(const ForeignListener&) = delete;

    int Port() const { return m_port; }

private:
    int m_fd;
    int m_port = 0;
};

bool HasIpv6() {
    return ForeignListener(AF_INET6).Port() != 0;
}

TEST_F(WebServerTest, APortThatAnotherProgramHoldsOnEitherFamilyFailsToStart) {
    for (const int family : {AF_INET, AF_INET6}) {
        const ForeignListener other(family);
        if (other.Port() == 0)
            continue; // no IPv6 here
        WebServer second{station.Context()};
        EXPECT_FALSE(second.Start(other.Port())) << family;
        EXPECT_EQ(second.LastError(), "Cannot listen on port " + std::to_string(other.Port()) +
                                          ": Address already in use")
            << family;
    }
}

TEST_F(WebServerTest, ListensOnIpv6AndIpv4Alike) {
    if (!HasIpv6())
        GTEST_SKIP() << "no IPv6 on this machine";
    station.Document("index.html", "both");
    EXPECT_EQ(test::CurlAt("[::1]", server.Port(), "/").body, "both");
    EXPECT_EQ(Get("/").body, "both");
}

TEST_F(WebServerTest, StopRightAfterStartEnds) {
    for (int i = 0; i < 20; ++i) {
        WebServer quick{station.Context()};
        ASSERT_TRUE(quick.Start(0)) << quick.LastError();
        quick.Stop();
    }
}

} // namespace
} // namespace halvane
