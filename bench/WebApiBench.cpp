// Requests per second of "/api/tags" with 10,000 tags beside a document of the same size
// served from the http folder, in the same run. Each request is a new loopback connection,
// as without keep-alive.
#include "DataRoot.h"
#include "HttpGet.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"
#include "WebServer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace halvane {
namespace {

constexpr size_t kTags = 10'000;
constexpr std::string_view kTagsPath = "/api/tags";
constexpr std::string_view kDocumentPath = "/tags.json";

// A station of kTags valid tags with names, units and formats, its web server started; the
// http folder holds a copy of the tag list as a document.
class TagStation {
public:
    TagStation() {
        SetDataRoot(m_dir.Path().string());
        std::filesystem::create_directories(m_dir / "cfg");
        std::filesystem::create_directories(m_dir / "http");
        std::ofstream(m_dir / "cfg/config.cfg") << "[WebServer]\r\nEnabled=1\r\n";
        m_store = std::make_unique<ProfileStore>(m_dir / "cfg/config.cfg");
        std::vector<TDataChannel> tags(kTags);
        for (size_t i = 0; i < kTags; ++i) {
            tags[i].Name = "Tank " + std::to_string(i) + " level";
            tags[i].Unit = "%";
            tags[i].Format = "%0.2f";
            tags[i].RealValue = static_cast<double>(i) / 7;
            tags[i].ValueValid = true;
            tags[i].Status = "OK";
        }
        m_tags.Assign(std::move(tags));
        m_server = std::make_unique<WebServer>(WebContext{*m_store, m_tags, nullptr, m_counters});
        m_server->Start(0);
        std::ofstream(m_dir / "http" / kDocumentPath.substr(1)) << bench::HttpBody(Port(), kTagsPath);
    }
    int Port() const { return m_server->Port(); }

private:
    TempDir m_dir;
    std::unique_ptr<ProfileStore> m_store;
    TagTable m_tags;
    TemplateCounters m_counters;
    std::unique_ptr<WebServer> m_server;
};

// Argument 0: the document; 1: the tag list made for each request.
void BM_TagList(benchmark::State& state) {
    const TagStation station;
    const std::string_view path = state.range(0) != 0 ? kTagsPath : kDocumentPath;
    const size_t bytes = bench::HttpBody(station.Port(), path).size();
    if (bytes == 0) {
        state.SkipWithError("nothing is served");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::HttpGet(station.Port(), path));
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["reply_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_TagList)->ArgName("api")->Arg(0)->Arg(1)->Arg(0)->Arg(1)->UseRealTime()->MinTime(3);

} // namespace
} // namespace halvane

BENCHMARK_MAIN();
