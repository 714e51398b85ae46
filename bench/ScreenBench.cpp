// Screen drawing on a large screen: one full paint of 500 text objects and 50 symbols on
// a 1280 × 1024 frame, with every style key and label read from the stores as each paint
// of a screen window does; the BMP and PNG encodings of a frame, each done once per frame for
// the web's requests; and the web's requests for the picture of such a frame in either format,
// each on a new loopback connection.
#include "DataRoot.h"
#include "HttpGet.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "ScreenPainter.h"
#include "SymbolGraphic.h"
#include "TDataChannel.h"
#include "TagTable.h"
#include "WebServer.h"

#include <QGuiApplication>

#include "TempDir.h"

#include "OffscreenMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

using namespace halvane;

namespace {

constexpr int kTextObjects = 500;
constexpr int kSymbols = 50;
constexpr int kTags = 100;
const QSize kFrameSize(1280, 1024);

// A temporary data root for the run, removed at exit.
const std::filesystem::path& BenchFolder() {
    static const TempDir folder;
    static const bool prepared = [] {
        std::filesystem::create_directories(folder / "cfg");
        SetDataRoot(folder.Path().string());
        return true;
    }();
    (void)prepared;
    return folder.Path();
}

// Four styles and the label sets of a typical project.
void WriteConfig(ProfileStore& config) {
    ProfileStore::Batch batch(config);
    for (int style = 0; style < 4; ++style) {
        const std::string section = "Style." + std::to_string(style);
        config.WriteString(section, "Name", "Style " + std::to_string(style));
        config.WriteInteger(section, "M.Height", 10 + style * 2);
        config.WriteInteger(section, "A.Font.Color.G", 0);
        config.WriteInteger(section, "D.Height", 8);
    }
    config.WriteString("Strings", "Marker.Binary.0", "Open;Closed");
    config.WriteString("Strings", "FunctionButton.0", "<<");
}

std::vector<TDataChannel> Tags() {
    std::vector<TDataChannel> tags(kTags);
    for (int i = 0; i < kTags; ++i) {
        tags[i].Name = "Tag " + std::to_string(i);
        tags[i].Unit = i % 2 ? "bar" : "";
        tags[i].RealValue = i * 1.37;
        tags[i].ValueValid = i % 5 != 0;
        tags[i].EnableAlert = true;
        tags[i].HighThreshold = 100;
    }
    return tags;
}

// Text objects of every kind on a 10-column grid, then symbols with placeholder pictures.
ObjectList Objects() {
    const int32_t kinds[] = {kNumericDisplay, kBinaryDisplay, kMultiStateDisplay,
                             kCurrentTime,    kCurrentDate,   kFunctionButton,
                             kStaticText,     kNumericInput,  kPresetValueButton};
    ObjectList objects;
    for (int i = 0; i < kTextObjects; ++i) {
        TScreenMarker object;
        object.Left = (i % 10) * 125 + 3;
        object.Top = (i / 10) * 20 + 7;
        object.Right = object.Left + 120;
        object.Bottom = object.Top + 40;
        object.Type = kinds[i % std::size(kinds)];
        object.Channel = i % kTags;
        object.UseStyle = i % 4;
        object.AttrInt1 = 0;
        object.AttrStr1 = object.Type == kMultiStateDisplay ? "0=stopped;1=running;2=fault"
                                                            : "Text " + std::to_string(i);
        objects.push_back(object);
    }
    for (int i = 0; i < kSymbols; ++i) {
        TScreenMarker symbol;
        symbol.Type = kGraphicalSymbol;
        symbol.Left = (i % 25) * 50;
        symbol.Top = 900 + (i / 25) * 50;
        symbol.AttrStr1 = "missing.bmp"; // the 30 × 30 placeholder
        LoadSymbolGraphic(symbol, false);
        symbol.Right += 10;
        symbol.Bottom += 10;
        objects.push_back(symbol);
    }
    return objects;
}

void BM_PaintScreen(benchmark::State& state) {
    const auto& root = BenchFolder();
    ProfileStore config(root / "cfg" / "config.cfg");
    WriteConfig(config);
    ProfileStore screenFile(root / "cfg" / "screen.1.cfg");
    screenFile.WriteInteger("General", "Background.Solid.Color", 0x404040);
    ScreenPainter painter(config);
    ScreenView view;
    view.clientSize = kFrameSize;
    view.editMode = state.range(0) != 0;
    ObjectList objects = Objects();
    const std::vector<TDataChannel> tags = Tags();
    for (auto _ : state) {
        // As the screen window paints: one look for external edits of each file per paint.
        const ProfileStore::Batch configReads(config);
        const ProfileStore::Batch screenReads(screenFile);
        ScreenFrame frame = painter.PaintScreen(view, screenFile, objects, tags);
        benchmark::DoNotOptimize(frame.image.constBits());
    }
    state.SetLabel(view.editMode ? "edit mode, grid" : "run-time mode");
}
BENCHMARK(BM_PaintScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_EncodeBmp(benchmark::State& state) {
    QImage frame(kFrameSize, QImage::Format_RGB32);
    frame.fill(QColor(10, 20, 30));
    for (auto _ : state) {
        std::vector<uint8_t> bmp = EncodeBmp(frame);
        benchmark::DoNotOptimize(bmp.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kFrameSize.width()} * kFrameSize.height() *
                            3);
}
BENCHMARK(BM_EncodeBmp)->Unit(benchmark::kMillisecond);

// A frame of the screen above as the station serves it, painted once for the run.
const QImage& PaintedFrame() {
    static const QImage frame = [] {
        const auto& root = BenchFolder();
        ProfileStore config(root / "cfg" / "config.cfg");
        WriteConfig(config);
        ProfileStore screenFile(root / "cfg" / "screen.2.cfg");
        screenFile.WriteInteger("General", "Background.Solid.Color", 0x404040);
        ScreenView view;
        view.clientSize = kFrameSize;
        ObjectList objects = Objects();
        return ScreenPainter(config).PaintScreen(view, screenFile, objects, Tags()).image;
    }();
    return frame;
}

enum PictureFormat { kBmp = 0, kPng = 1 };

std::vector<uint8_t> Encoded(const QImage& frame, int64_t format) {
    return format == kPng ? EncodePng(frame) : EncodeBmp(frame);
}

void BM_EncodeFrame(benchmark::State& state) {
    const QImage& frame = PaintedFrame();
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> encoded = Encoded(frame, state.range(0));
        bytes = encoded.size();
        benchmark::DoNotOptimize(encoded.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.SetLabel(state.range(0) == kPng ? "PNG" : "BMP");
}
BENCHMARK(BM_EncodeFrame)->ArgName("png")->Arg(kBmp)->Arg(kPng)->Unit(benchmark::kMillisecond);

// One screen whose frame is encoded already, as the station's screens hand out the
// encoding of their frame to every request until the next paint.
class PaintedScreen final : public ScreenSource {
public:
    size_t ScreenCount() const override { return 1; }
    std::string ScreenCaption(size_t) const override { return "Plant"; }
    SharedBmp ScreenBmp(size_t) const override { return m_bmp; }
    SharedBmp ScreenPng(size_t) const override { return m_png; }

private:
    SharedBmp m_bmp = std::make_shared<const std::vector<uint8_t>>(EncodeBmp(PaintedFrame()));
    SharedBmp m_png = std::make_shared<const std::vector<uint8_t>>(EncodePng(PaintedFrame()));
};

void BM_ScreenPictureRequest(benchmark::State& state) {
    ProfileStore store(BenchFolder() / "cfg" / "web.cfg");
    TagTable tags;
    TemplateCounters counters;
    const PaintedScreen screen;
    WebServer server(WebContext{store, tags, &screen, counters});
    const char* path = state.range(0) == kPng ? "/screen.0.png" : "/screen-image-0.bmp";
    if (!server.Start(0) || bench::HttpGet(server.Port(), path).status != 200) {
        state.SkipWithError("the picture is not served");
        return;
    }
    size_t bytes = 0;
    for (auto _ : state)
        bytes = bench::HttpGet(server.Port(), path).bytes;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(path);
}
BENCHMARK(BM_ScreenPictureRequest)
    ->ArgName("png")
    ->Arg(kBmp)
    ->Arg(kPng)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return halvane::bench::RunOffscreen<QGuiApplication>(argc, argv,
                                                         [] { SetDecimalSeparator('.'); });
}
