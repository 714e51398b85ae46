// The built-in operator page: its files come out of the program itself, beside and behind
// the project's own documents.
#include "WebServer.h"

#include "WebTestSupport.h"

#include <gtest/gtest.h>

namespace halvane {
namespace {

using test::Curl;
using test::HttpReply;

class HmiPageTest : public test::WebServerFixture {};

TEST_F(HmiPageTest, FilesComeWithTheirTypesAndAreNotKeptAcrossVersions) {
    struct Case {
        std::string path;
        std::string type;
        std::string part; // of the body
    };
    const Case cases[] = {
        {"/hmi/", "text/html; charset=utf-8", "<script src=\"/hmi/hmi.js\">"},
        {"/hmi", "text/html; charset=utf-8", "<link rel=\"stylesheet\" href=\"/hmi/hmi.css\">"},
        {"/hmi/index.html", "text/html; charset=utf-8", "<title>Halvane operator page</title>"},
        {"/hmi/hmi.js", "text/javascript; charset=utf-8", "new EventSource('/api/stream')"},
        {"/hmi/hmi.css", "text/css; charset=utf-8", "@media (max-width: 600px)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const HttpReply reply = Get(c.path);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.Header("content-type"), c.type);
        EXPECT_EQ(reply.Header("cache-control"), "no-cache");
        EXPECT_NE(reply.body.find(c.part), std::string::npos);
    }
}

TEST_F(HmiPageTest, OnlyThePagesFilesExistAndTheyAskForCredentials) {
    station.SetCredentials("olga", "secret");
    struct Case {
        std::string path;
        std::vector<std::string> options;
        int status;
    };
    const Case cases[] = {
        {"/hmi/", {}, 401},
        {"/hmi/hmi.js", {}, 401},
        {"/hmi/", {"-u", "olga:secret"}, 200},
        {"/hmi/nothing.js", {}, 404},
        {"/hmi/sub/hmi.js", {}, 404},
        {"/hmi/../hmi/hmi.js", {}, 404},
        {"/hmi//hmi.js", {}, 404},
        {"/hmix/hmi.js", {}, 404},
        {"/hmi.js", {}, 404},
        {"/HMI/", {}, 404},
        {"/hmi/CMakeLists.txt", {"-u", "olga:secret"}, 404},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Get(c.path, c.options).status, c.status);
    }
}

TEST_F(HmiPageTest, AProjectsOwnFileOfTheSameNameWins) {
    station.Document("hmi/index.html", "our own page");
    station.Document("hmi/hmi.css.tpl", "body { color: red; }");
    const HttpReply page = Get("/hmi/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body, "our own page");
    EXPECT_EQ(page.Header("content-type"), "text/html");
    EXPECT_NE(Get("/hmi/hmi.css").body.find("color: red"), std::string::npos);
    EXPECT_NE(Get("/hmi/hmi.js").body.find("EventSource"), std::string::npos);
}

} // namespace
} // namespace halvane
