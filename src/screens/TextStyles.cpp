#include "TextStyles.h"

#include "ProfileStore.h"
#include "StoredText.h"
#include "StyledText.h"

#include <QFont>

#include <cmath>

namespace halvane {

namespace {

constexpr int kPointsPerInch = 72;
constexpr int kColourPart = 0xFF;

int ColourPart(const ProfileStore& config, const std::string& section, char prefix,
               std::string_view part) {
    return config.ReadInteger(section, StyleKey(prefix, part), kColourPart) & kColourPart;
}

} // namespace

std::string StyleSection(int style) {
    return "Style." + std::to_string(style);
}

std::string StyleKey(char prefix, std::string_view name) {
    std::string key(1, prefix);
    key += '.';
    key += name;
    return key;
}

std::string StyleDisplayName(const ProfileStore& config, int style) {
    const std::string name = config.ReadString(StyleSection(style), "Name", "");
    return name.empty() ? "Style " + std::to_string(style + 1) : StoredTextToUtf8(name);
}

std::vector<std::string> StyleListNames(const ProfileStore& config) {
    std::vector<std::string> names;
    for (int n = 0; config.SectionExists(StyleSection(n)); ++n)
        names.push_back(StyleDisplayName(config, n));
    return names;
}

std::optional<int> AddStyle(ProfileStore& config, std::string_view name) {
    int style = 0;
    while (config.SectionExists(StyleSection(style)))
        ++style;
    if (!config.WriteString(StyleSection(style), "Name", name))
        return std::nullopt;
    return style;
}

StyleFont ReadStyleFont(const ProfileStore& config, int style, char prefix) {
    const std::string section = StyleSection(style);
    const StyleFont defaults;
    return {config.ReadString(section, StyleKey(prefix, "Name"), defaults.face),
            config.ReadInteger(section, StyleKey(prefix, "Height"), defaults.height),
            config.ReadBool(section, StyleKey(prefix, "Bold"), defaults.bold),
            config.ReadBool(section, StyleKey(prefix, "Italic"), defaults.italic)};
}

StyleColour ReadStyleColour(const ProfileStore& config, int style, char prefix) {
    const std::string section = StyleSection(style);
    return {ColourPart(config, section, prefix, "Font.Color.R"),
            ColourPart(config, section, prefix, "Font.Color.G"),
            ColourPart(config, section, prefix, "Font.Color.B")};
}

int ReadStyleAlignment(const ProfileStore& config, int style, char prefix) {
    return config.ReadInteger(StyleSection(style), StyleKey(prefix, "VAlign"), kStyleAlignCentre);
}

int ReadStyleOffset(const ProfileStore& config, int style, char prefix) {
    return config.ReadInteger(StyleSection(style), StyleKey(prefix, "HOffset"), 0);
}

bool WriteStyleFont(ProfileStore& config, int style, char prefix, const StyleFont& font) {
    const std::string section = StyleSection(style);
    ProfileStore::Batch batch(config);
    config.WriteString(section, StyleKey(prefix, "Name"), font.face);
    config.WriteInteger(section, StyleKey(prefix, "Height"), font.height);
    config.WriteBool(section, StyleKey(prefix, "Bold"), font.bold);
    config.WriteBool(section, StyleKey(prefix, "Italic"), font.italic);
    return batch.Commit();
}

bool WriteStyleColour(ProfileStore& config, int style, char prefix, const StyleColour& colour) {
    const std::string section = StyleSection(style);
    ProfileStore::Batch batch(config);
    config.WriteInteger(section, StyleKey(prefix, "Font.Color.R"), colour.red);
    config.WriteInteger(section, StyleKey(prefix, "Font.Color.G"), colour.green);
    config.WriteInteger(section, StyleKey(prefix, "Font.Color.B"), colour.blue);
    return batch.Commit();
}

QFont DialogFont(const StyleFont& font, const QPaintDevice& device) {
    QFont dialogFont(QString::fromStdString(StoredTextToUtf8(font.face)));
    dialogFont.setBold(font.bold);
    dialogFont.setItalic(font.italic);
    SetFontPixelHeight(dialogFont, font.height, &device);
    if (const int pixels = dialogFont.pixelSize(); pixels > 0)
        dialogFont.setPointSizeF(static_cast<double>(pixels) * kPointsPerInch / DeviceDpi(&device));
    return dialogFont;
}

StyleFont ChosenStyleFont(const QFont& chosen, const StyleFont& shown, const QPaintDevice& device) {
    const std::string family = chosen.family().toStdString();
    StyleFont font{family == StoredTextToUtf8(shown.face) ? shown.face : family, shown.height,
                   chosen.bold(), chosen.italic()};
    if (chosen.pixelSize() > 0)
        font.height = -chosen.pixelSize();
    else if (chosen.pointSizeF() > 0)
        font.height = -static_cast<int>(
            std::lround(chosen.pointSizeF() * DeviceDpi(&device) / kPointsPerInch));
    return font;
}

} // namespace halvane
