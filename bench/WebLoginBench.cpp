// Requests per second of the demo's template page with the accounts' login (a remembered
// login) beside the station without accounts, in the same run, and the time of one password
// check. Each request is a new loopback connection, as without keep-alive.
#include "Accounts.h"
#include "DataRoot.h"
#include "HttpGet.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"
#include "WebServer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace halvane {
namespace {

constexpr std::string_view kLogin = "Basic YmVuY2g6YmVuY2gtcGFzc3dvcmQ="; // bench:bench-password

// The demo's data root, copied, served by a started web server.
class DemoStation {
public:
    explicit DemoStation(bool accounts) {
        std::filesystem::copy(HALVANE_DEMO_ROOT, m_dir.Path(),
                              std::filesystem::copy_options::recursive);
        SetDataRoot(m_dir.Path().string());
        m_store = std::make_unique<ProfileStore>(m_dir / "cfg/config.cfg");
        m_tags.Assign(LoadAllTags(*m_store));
        if (accounts)
            AccountStore(UsersFile()).Add("bench", Role::Viewer, "bench-password");
        m_server = std::make_unique<WebServer>(WebContext{*m_store, m_tags, nullptr, m_counters});
        m_server->Start(0);
    }
    int Port() const { return m_server->Port(); }

private:
    TempDir m_dir;
    std::unique_ptr<ProfileStore> m_store;
    TagTable m_tags;
    TemplateCounters m_counters;
    std::unique_ptr<WebServer> m_server;
};

// The status of one GET of "/" on a new connection.
int Get(int port, std::string_view authorization) {
    return bench::HttpGet(port, "/", authorization).status;
}

void BM_DemoPage(benchmark::State& state) {
    const DemoStation station(state.range(0) != 0);
    if (Get(station.Port(), kLogin) != 200) {
        state.SkipWithError("the page is not served");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Get(station.Port(), kLogin));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DemoPage)
    ->ArgName("accounts")
    ->Arg(0)
    ->Arg(1)
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->MinTime(3);

void BM_VerifyPassword(benchmark::State& state) {
    const std::string hash = HashPassword("bench-password");
    for (auto _ : state)
        benchmark::DoNotOptimize(VerifyPassword(hash, "bench-password"));
}
BENCHMARK(BM_VerifyPassword)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halvane

BENCHMARK_MAIN();
