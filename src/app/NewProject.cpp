#include "NewProject.h"

#include "DataRoot.h"
#include "ProfileStore.h"
#include "ScreenFile.h"
#include "ScreenListRows.h"
#include "StartUp.h"
#include "TextStyles.h"

#include <fstream>
#include <ranges>
#include <string_view>
#include <system_error>
#include <vector>

namespace halvane {

namespace {

namespace fs = std::filesystem;

constexpr int kFirstScreenNumber = 0;
constexpr int kConnectionCount = 4;

constexpr StyleColour kNormalColour{0, 0, 0};
constexpr StyleColour kHighlightedColour{255, 0, 0};
constexpr StyleColour kCaptionColour{64, 64, 64};
// A light grey screen (stored as 0x00BBGGRR), on which the styles' dark text reads; the
// screens' own default is black.
constexpr int kScreenBackground = 0xF0F0F0;
constexpr int kValueHeight = -16;
constexpr int kCaptionHeight = -13;

// Lists every tag with its value and status, and every screen with its picture.
constexpr std::string_view kIndexTemplate =
    "<!DOCTYPE html>\n"
    "<html>\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"refresh\" content=\"2\">\n"
    "<title>Halvane</title>\n"
    "<style>\n"
    "body { font-family: Arial, Helvetica, sans-serif; margin: 2em; }\n"
    "table { border-collapse: collapse; }\n"
    "th, td { padding: 0.3em 0.8em; border-bottom: 1px solid #ccc; text-align: left; }\n"
    "td.value { text-align: right; }\n"
    "img[src=\"\"] { display: none; }\n"
    "</style>\n"
    "</head>\n"
    "<body>\n"
    "<h1>Halvane</h1>\n"
    "<h2>Tags (${tag_count})</h2>\n"
    "<table>\n"
    "<tr><th>Name</th><th>Value</th><th>Unit</th><th>Status</th></tr>${tag_resetcount}\n"
    "<tr><td>${tag_name_next}</td><td class=\"value\">${tag_value_next}</td>"
    "<td>${tag_unit_next}</td><td>${tag_status_next}</td></tr>\n"
    "${tag_gotonext}\n"
    "</table>\n"
    "<h2>Screens (${screen_count})</h2>${screen_resetcount}\n"
    "<p><img src=\"${screen_img_next}\" alt=\"${screen_name_next}\"></p>\n"
    "${screen_gotonext}\n"
    "</body>\n"
    "</html>\n";

// What one attempt made, in order, so that a failed attempt can take it away again. What
// was there before is never touched.
class MadePaths final {
public:
    static bool Exists(const fs::path& path) {
        std::error_code ec;
        return fs::exists(fs::symlink_status(path, ec));
    }

    MadePaths() = default;
    MadePaths(const MadePaths&) = delete;
    MadePaths& operator=(const MadePaths&) = delete;
    ~MadePaths() {
        if (m_kept)
            return;
        for (const fs::path& path : m_made | std::views::reverse) {
            std::error_code ec;
            fs::remove(path, ec);
        }
    }

    bool Directories(const fs::path& folder) {
        fs::path partial;
        for (const fs::path& part : folder) {
            partial /= part;
            if (!Directory(partial))
                return false;
        }
        return true;
    }
    bool Text(const fs::path& file, std::string_view text) {
        if (Exists(file))
            return true;
        m_made.push_back(file);
        std::ofstream out(file, std::ios::binary);
        out << text;
        return static_cast<bool>(out.flush());
    }
    bool Copy(const fs::path& from, const fs::path& to) {
        if (Exists(to))
            return true;
        std::error_code ec;
        m_made.push_back(to);
        return fs::copy_file(from, to, ec);
    }
    // A missing file that is about to be written by other means.
    void Expect(const fs::path& file) {
        if (!Exists(file))
            m_made.push_back(file);
    }
    void Keep() { m_kept = true; }

private:
    bool Directory(const fs::path& folder) {
        std::error_code ec;
        if (fs::is_directory(folder, ec))
            return true;
        if (!fs::create_directory(folder, ec))
            return false;
        m_made.push_back(folder);
        return true;
    }

    std::vector<fs::path> m_made;
    bool m_kept = false;
};

fs::path Under(const fs::path& root, std::string_view stored) {
    return root / NativeSeparators(stored);
}

bool CopyGallery(const fs::path& from, const fs::path& to, MadePaths& made) {
    std::error_code ec;
    if (!made.Directories(to))
        return false;
    for (auto entry = fs::recursive_directory_iterator(from, ec);
         !ec && entry != fs::recursive_directory_iterator(); entry.increment(ec)) {
        const fs::path target = to / fs::relative(entry->path(), from);
        const bool copied =
            entry->is_directory() ? made.Directories(target) : made.Copy(entry->path(), target);
        if (!copied)
            return false;
    }
    return !ec;
}

bool MakeScreen(const fs::path& root, MadePaths& made) {
    const fs::path path = Under(root, ScreenFileName(kFirstScreenNumber));
    if (MadePaths::Exists(path))
        return true; // a screen of an earlier project: it stays as it is
    made.Expect(path);
    if (!CreateScreenFile(path, kFirstScreenNumber))
        return false;
    ProfileStore screen(path);
    ProfileStore::Batch batch(screen);
    screen.WriteString(kScreenGeneralSection, "Title", NewScreenTitle(0));
    screen.WriteInteger(kScreenGeneralSection, "Left", 0);
    screen.WriteInteger(kScreenGeneralSection, "Top", 0);
    screen.WriteInteger(kScreenGeneralSection, "Width", kDefaultScreenWidth);
    screen.WriteInteger(kScreenGeneralSection, "Height", kDefaultScreenHeight);
    screen.WriteInteger(kScreenGeneralSection, "Background.Solid.Color", kScreenBackground);
    return batch.Commit();
}

// A style whose value turns red and bold while in alarm.
void WriteStyle(ProfileStore& config, std::string_view name, int height) {
    const std::optional<int> style = AddStyle(config, name);
    if (!style)
        return;
    WriteStyleFont(config, *style, 'M', {"Arial", height, false, false});
    WriteStyleColour(config, *style, 'M', kNormalColour);
    WriteStyleFont(config, *style, 'A', {"Arial", height, true, false});
    WriteStyleColour(config, *style, 'A', kHighlightedColour);
    WriteStyleFont(config, *style, 'D', {"Arial", kCaptionHeight, false, false});
    WriteStyleColour(config, *style, 'D', kCaptionColour);
}

// Written last: only a complete project holds it.
bool MakeConfiguration(const fs::path& root, MadePaths& made) {
    const fs::path path = Under(root, kConfigRelativePath);
    made.Expect(path);
    ProfileStore config(path);
    ProfileStore::Batch batch(config);
    for (int connection = 1; connection <= kConnectionCount; ++connection) {
        const std::string section =
            connection < kConnectionCount ? "Serial." + std::to_string(connection) : "Ethernet.1";
        config.WriteBool(section, "enabled", false);
    }
    EnsureStringDefaults(config);
    WriteStyle(config, "Value", kValueHeight);
    WriteStyle(config, "Caption", kCaptionHeight);
    WriteScreenList(config, {kFirstScreenNumber});
    return batch.Commit();
}

} // namespace

bool HoldsProject(const fs::path& root) {
    std::error_code ec;
    return fs::exists(Under(root, kConfigRelativePath), ec);
}

std::string MakeNewProject(const fs::path& root, const std::optional<fs::path>& gallery) {
    if (HoldsProject(root))
        return "There is a project in " + root.string() + " already.";
    MadePaths made;
    const fs::path config = Under(root, kConfigRelativePath);
    const bool complete = made.Directories(config.parent_path()) &&
                          made.Directories(root / "http") &&
                          made.Text(root / "http/index.html.tpl", kIndexTemplate) &&
                          (!gallery || CopyGallery(*gallery, root / "gallery", made)) &&
                          MakeScreen(root, made) && MakeConfiguration(root, made);
    if (!complete)
        return "A new project cannot be made in " + root.string() + ".";
    made.Keep();
    return {};
}

} // namespace halvane
