#pragma once

#include <QByteArray>

#include <optional>

namespace halvane {

// The frame that a placeable metafile's header gives, in logical units, with the number
// of units to an inch.
struct WmfPlaceableFrame {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int UnitsPerInch = 0;
};

// The frame of a file that starts with the placeable header; nothing for other files.
std::optional<WmfPlaceableFrame> ReadPlaceableFrame(const QByteArray& file);

// A metafile that sets up the coordinate mapping of `file` as it stands at its first
// drawing record (map mode, window and viewport records, saved and restored states) and
// then sets the one pixel at logical (x, y). Where a player puts that pixel is where the
// point lands in its output. Nothing when the file's records cannot be walked.
std::optional<QByteArray> MappingProbe(const QByteArray& file, int x, int y);

} // namespace halvane
