#pragma once

#include "SymbolPicture.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halvane {

// The extension of a file name: from its last ".", dot included; empty without a dot.
std::string FileExtension(std::string_view fileName);

// Whether a file name ends in exactly ".bmp", ".wmf" or ".emf" (letter case included).
bool IsPictureFileName(std::string_view fileName);

// Loads a picture by the exact extension of its file name: ".bmp" a bitmap, ".wmf" a
// classic metafile, ".emf" an enhanced metafile. Nothing for any other extension, a file
// that cannot be read or content that does not decode.
std::optional<SymbolPicture> LoadPictureFile(const std::filesystem::path& path);

} // namespace halvane
