#include "WmfLoader.h"

#include "WmfFile.h"

#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace halvane {
namespace {

constexpr double kScreenPixelsPerInch = 96.0;

// libwmf keeps state (fonts, its memory manager) that is not safe to share between threads.
std::mutex& LibraryMutex() {
    static std::mutex mutex;
    return mutex;
}

struct ApiDeleter {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};
using ApiPtr = std::unique_ptr<wmfAPI, ApiDeleter>;

ApiPtr CreateSvgApi() {
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    const wmf_error_t error = wmf_api_create(&api, flags, &options);
    ApiPtr owned(api);
    if (error != wmf_E_None)
        return nullptr;
    return owned;
}

// Opens a metafile held in `bytes`, which must outlive the returned API.
ApiPtr OpenMetafile(QByteArray& bytes) {
    ApiPtr api = CreateSvgApi();
    if (!api || wmf_mem_open(api.get(), reinterpret_cast<unsigned char*>(bytes.data()),
                             static_cast<long>(bytes.size())) != wmf_E_None)
        return nullptr;
    return api;
}

// The extent that the metafile draws, in libwmf's output coordinates.
std::optional<wmfD_Rect> Scan(wmfAPI* api) {
    wmfD_Rect drawn{};
    if (wmf_scan(api, 0, &drawn) != wmf_E_None)
        return std::nullopt;
    return drawn;
}

// Where logical point (x, y) of the file lands in libwmf's output coordinates: the centre
// of the one pixel that a probe with the file's mapping sets there.
std::optional<wmfD_Coord> MappedPoint(const QByteArray& file, int x, int y) {
    std::optional<QByteArray> probe = MappingProbe(file, x, y);
    if (!probe)
        return std::nullopt;
    ApiPtr api = OpenMetafile(*probe);
    const std::optional<wmfD_Rect> pixel = api ? Scan(api.get()) : std::nullopt;
    if (!pixel)
        return std::nullopt;
    return wmfD_Coord{(pixel->TL.x + pixel->BR.x) / 2, (pixel->TL.y + pixel->BR.y) / 2};
}

// The box to play, in libwmf's output coordinates, and the picture's size in screen pixels.
struct Frame {
    wmfD_Rect Box;
    QSize Size;
};

// The placeable header's frame, placed where the file's own mapping puts it.
std::optional<Frame> PlaceableFrame(const QByteArray& file, const WmfPlaceableFrame& header) {
    if (header.UnitsPerInch == 0 || header.Right == header.Left || header.Bottom == header.Top)
        return std::nullopt;
    const std::optional<wmfD_Coord> a = MappedPoint(file, header.Left, header.Top);
    const std::optional<wmfD_Coord> b = MappedPoint(file, header.Right, header.Bottom);
    if (!a || !b || a->x == b->x || a->y == b->y)
        return std::nullopt;
    const double pixels = kScreenPixelsPerInch / header.UnitsPerInch;
    Frame frame;
    frame.Box.TL = {std::min(a->x, b->x), std::min(a->y, b->y)};
    frame.Box.BR = {std::max(a->x, b->x), std::max(a->y, b->y)};
    frame.Size = QSize(
        std::max(1, static_cast<int>(std::lround(std::abs(header.Right - header.Left) * pixels))),
        std::max(1, static_cast<int>(std::lround(std::abs(header.Bottom - header.Top) * pixels))));
    return frame;
}

// Without a frame the drawn extent is the picture, one output unit to a pixel.
std::optional<Frame> DrawnFrame(const wmfD_Rect& drawn) {
    const double width = std::ceil(drawn.BR.x - drawn.TL.x);
    const double height = std::ceil(drawn.BR.y - drawn.TL.y);
    if (!(width >= 1 && height >= 1))
        return std::nullopt;
    return Frame{drawn, QSize(static_cast<int>(width), static_cast<int>(height))};
}

std::optional<Frame> PictureFrame(const QByteArray& file, const wmfD_Rect& drawn) {
    if (const std::optional<WmfPlaceableFrame> header = ReadPlaceableFrame(file)) {
        if (std::optional<Frame> frame = PlaceableFrame(file, *header))
            return frame;
    }
    return DrawnFrame(drawn);
}

// libwmf names each colour in its SVG by the nearest SVG colour keyword: the sixteen
// standard window colours come out exact, others slightly shifted.
std::optional<QByteArray> PlayToSvg(wmfAPI* api, Frame frame) {
    wmf_svg_t* device = WMF_SVG_GetData(api);
    static char description[] = "";
    device->Description = description;
    device->bbox = frame.Box;
    device->width = static_cast<unsigned int>(frame.Size.width());
    device->height = static_cast<unsigned int>(frame.Size.height());
    device->flags |= WMF_SVG_INLINE_IMAGES;
    device->out = wmf_stream_create(api, nullptr);
    if (device->out == nullptr)
        return std::nullopt;
    const wmf_error_t error = wmf_play(api, 0, &frame.Box);
    char* buffer = nullptr;
    unsigned long length = 0;
    wmf_stream_destroy(api, device->out, &buffer, &length);
    device->out = nullptr;
    if (error != wmf_E_None || buffer == nullptr || length == 0)
        return std::nullopt;
    // The buffer belongs to libwmf's memory manager: copy it before the API is destroyed.
    return QByteArray(buffer, static_cast<qsizetype>(length));
}

} // namespace

std::optional<MetafileSvg> LoadWmfAsSvg(const QByteArray& file) {
    if (file.isEmpty())
        return std::nullopt;
    std::lock_guard lock(LibraryMutex());
    QByteArray input = file; // libwmf reads through a non-const pointer
    ApiPtr api = OpenMetafile(input);
    const std::optional<wmfD_Rect> drawn = api ? Scan(api.get()) : std::nullopt;
    if (!drawn)
        return std::nullopt;
    const std::optional<Frame> frame = PictureFrame(file, *drawn);
    if (!frame)
        return std::nullopt;
    std::optional<QByteArray> svg = PlayToSvg(api.get(), *frame);
    if (!svg)
        return std::nullopt;
    return MetafileSvg{std::move(*svg), frame->Size};
}

} // namespace halvane
