#pragma once

#include "SymbolPicture.h"

#include <QByteArray>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// The most bytes a picture file may hold: a longer one is refused.
inline constexpr std::uintmax_t kMaxPictureFileBytes = 512u << 20;

// The bytes of a picture file, at most kMaxPictureFileBytes. Nothing when it cannot be read
// (missing, a folder, an I/O error part-way), which is said on stderr with the file and the
// reason; never an exception.
std::optional<QByteArray> ReadPictureFile(const std::filesystem::path& path);

// The extension of a file name: from its last ".", dot included; empty without a dot.
std::string FileExtension(std::string_view fileName);

// Whether a file name ends in exactly ".bmp", ".wmf", ".emf" or ".svg" (letter case
// included).
bool IsPictureFileName(std::string_view fileName);

// Loads a picture by the exact extension of its file name: ".bmp" a bitmap, ".wmf" a
// classic metafile, ".emf" an enhanced metafile, ".svg" an SVG drawing. Nothing for any other
// extension, a file that cannot be read (said on stderr) or content that does not decode.
std::optional<SymbolPicture> LoadPictureFile(const std::filesystem::path& path);

} // namespace halvane
