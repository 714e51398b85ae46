#include "WebServer.h"

#include "WebTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace halvane {
namespace {

const std::filesystem::path kExample =
    std::filesystem::path(HALVANE_DEMO_ROOT).parent_path() / "nginx-tls.conf";

// A port nobody listens on now.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

bool RunQuietly(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The example's nginx, with a self-signed certificate and its ports and files moved into
// a folder of the test's, in front of a started station that wants a login.
TEST(WebTlsProxyTest, TheNginxExampleServesTheStationOverTls) {
    test::WebStation station;
    station.Document("index.html", "through the proxy");
    station.SetCredentials("web", "web-password");
    WebServer server(station.Context());
    ASSERT_TRUE(server.Start(0)) << server.LastError();

    const TempDir dir;
    const std::string folder = dir.Path().string();
    ASSERT_TRUE(RunQuietly("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost"
                           " -keyout " +
                           folder + "/station.key -out " + folder + "/station.crt"));
    std::ifstream in(kExample);
    std::stringstream example;
    example << in.rdbuf();
    const int port = FreePort();
    std::string config = Replaced(example.str(), "listen 443 ssl",
                                  "listen 127.0.0.1:" + std::to_string(port) + " ssl");
    config = Replaced(config, "/etc/ssl/halvane/station.crt", folder + "/station.crt");
    config = Replaced(config, "/etc/ssl/halvane/station.key", folder + "/station.key");
    config = Replaced(config, "127.0.0.1:8088", "127.0.0.1:" + std::to_string(server.Port()));
    WriteText(dir / "nginx.conf", config);
    const std::string nginx = "nginx -p " + folder + " -c " + folder + "/nginx.conf -g 'pid " +
                              folder + "/nginx.pid; error_log " + folder + "/error.log;'";
    ASSERT_TRUE(RunQuietly(nginx)) << config;

    const std::string https = "https://localhost:" + std::to_string(port) + "/";
    test::HttpReply reply;
    for (int attempt = 0; attempt < 50 && reply.status == 0; ++attempt) {
        reply =
            test::CurlUrl(https, {"--cacert", folder + "/station.crt", "-u", "web:web-password"});
        if (reply.status == 0)
            ::usleep(100'000);
    }
    const test::HttpReply refused = test::CurlUrl(https, {"--cacert", folder + "/station.crt"});
    RunQuietly(nginx + " -s stop");

    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "through the proxy");
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.Header("www-authenticate"), "Basic realm=\"Login to Halvane\"");
}

} // namespace
} // namespace halvane
