#include "ProfileStore.h"

#include "NumberFormat.h"
#include "RegularFile.h"
#include "TemporaryFiles.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace halvane {

struct ProfileStore::Line {
    std::string raw;               // the line's bytes without its line end
    bool newline = true;           // false only for a last line without a line end
    bool crlf = false;             // the line ends in "\r\n"
    size_t eq = std::string::npos; // position of "=" when the line holds a key
};

struct ProfileStore::Section {
    std::string nameLower;
    bool hasHeader = false;
    Line header;
    std::vector<Line> lines;
    std::unordered_map<std::string, size_t> keys; // lower-case key → first line holding it

    void RebuildKeys();
    bool HasKeys() const { return !keys.empty(); }
};

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

// "[Name]" with blanks around it: the name, else nothing.
std::optional<std::string_view> HeaderName(std::string_view line) {
    line = TrimBlanks(line);
    if (!line.starts_with('['))
        return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

// Position of the "=" of a "Key=Value" line; comments and lines without a key give npos.
size_t KeyEquals(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
        return std::string::npos;
    const size_t eq = line.find('=');
    if (eq == std::string::npos || TrimBlanks(line.substr(0, eq)).empty())
        return std::string::npos;
    return eq;
}

std::string_view KeyOf(std::string_view line, size_t eq) {
    return TrimBlanks(line.substr(0, eq));
}

std::string_view ValueOf(std::string_view line, size_t eq) {
    return TrimBlanks(line.substr(eq + 1));
}

bool IsBlankLine(std::string_view line) {
    return TrimBlanks(line).empty();
}

std::string Reason(int error) {
    return std::generic_category().message(error);
}

} // namespace

void ProfileStore::Section::RebuildKeys() {
    keys.clear();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].eq != std::string::npos)
            keys.try_emplace(Lower(KeyOf(lines[i].raw, lines[i].eq)), i);
}

ProfileStore::ProfileStore(std::filesystem::path file) : m_file(std::move(file)) {
    std::error_code ec;
    // Writing renames a new file over the old one: write through a link to its target.
    if (std::filesystem::is_symlink(m_file, ec)) {
        const auto target = std::filesystem::canonical(m_file, ec);
        if (!ec)
            m_file = target;
    }
    std::lock_guard lock(m_mutex);
    m_sections.push_back(std::make_unique<Section>());
    RefreshIfChanged();
}

ProfileStore::~ProfileStore() = default;

ProfileStore::FileStamp ProfileStore::ReadStamp() const {
    struct stat st {};
    // A file that cannot even be looked at (a folder on the way that may not be searched)
    // may well be there.
    if (::stat(m_file.c_str(), &st) != 0)
        return FileStamp{errno != ENOENT && errno != ENOTDIR};
    return FileStamp{true, static_cast<uintmax_t>(st.st_size),
                     int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec,
                     static_cast<uintmax_t>(st.st_ino)};
}

void ProfileStore::RefreshIfChanged() const {
    if (m_batchDepth > 0)
        return;
    const FileStamp stamp = ReadStamp();
    if (!stamp.exists) {
        m_readError.clear(); // nothing there that a write could lose
        return;
    }
    // Unsaved writes (the last file write failed) win over the file on disk. A file that
    // could not be read is tried again every time: a new mode leaves its stamp alone.
    if (m_dirty || (stamp == m_stamp && m_readError.empty()))
        return;
    const FileContent content = ReadRegularFile(m_file);
    m_readError = content.error;
    Parse(content.bytes);
    m_stamp = m_readError.empty() ? stamp : FileStamp{};
}

void ProfileStore::Parse(std::string_view content) const {
    m_sections.clear();
    m_sections.push_back(std::make_unique<Section>());
    m_crlf = false;
    bool eolChosen = false;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        Line line;
        if (end == std::string_view::npos) {
            end = content.size();
            line.newline = false;
        }
        std::string_view text = content.substr(start, end - start);
        if (line.newline && text.ends_with('\r')) {
            line.crlf = true;
            text.remove_suffix(1);
        }
        if (line.newline && !eolChosen) {
            m_crlf = line.crlf;
            eolChosen = true;
        }
        line.raw.assign(text);
        start = end + 1;
        if (const auto name = HeaderName(line.raw)) {
            auto section = std::make_unique<Section>();
            section->nameLower = Lower(*name);
            section->hasHeader = true;
            section->header = std::move(line);
            m_sections.push_back(std::move(section));
            continue;
        }
        // Lines before the first header belong to no section: kept, never read.
        if (m_sections.size() > 1)
            line.eq = KeyEquals(line.raw);
        m_sections.back()->lines.push_back(std::move(line));
    }
    for (auto& section : m_sections)
        section->RebuildKeys();
    RebuildIndex();
}

void ProfileStore::RebuildIndex() const {
    m_index.clear();
    for (size_t i = 1; i < m_sections.size(); ++i)
        m_index.try_emplace(m_sections[i]->nameLower, m_sections[i].get());
}

ProfileStore::Section* ProfileStore::Find(std::string_view section) const {
    const auto it = m_index.find(Lower(TrimBlanks(section)));
    return it == m_index.end() ? nullptr : it->second;
}

ProfileStore::Section& ProfileStore::FindOrAppend(std::string_view name) {
    name = TrimBlanks(name);
    if (Section* found = Find(name))
        return *found;
    // The previous last line gets a line end, and a blank line sets the new section apart.
    Section& last = *m_sections.back();
    Line* lastLine =
        !last.lines.empty() ? &last.lines.back() : (last.hasHeader ? &last.header : nullptr);
    if (lastLine) {
        if (!lastLine->newline) {
            lastLine->newline = true;
            lastLine->crlf = m_crlf;
        }
        if (!IsBlankLine(lastLine->raw) || lastLine == &last.header)
            last.lines.push_back(Line{"", true, m_crlf});
    }
    auto section = std::make_unique<Section>();
    section->nameLower = Lower(name);
    section->hasHeader = true;
    std::string header(1, '[');
    header.append(name).push_back(']');
    section->header = Line{std::move(header), true, m_crlf};
    Section& added = *section;
    m_sections.push_back(std::move(section));
    m_index.try_emplace(added.nameLower, &added);
    return added;
}

std::string ProfileStore::ReadString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    const Section* found = Find(section);
    if (!found)
        return std::string(fallback);
    const auto it = found->keys.find(Lower(TrimBlanks(key)));
    if (it == found->keys.end())
        return std::string(fallback);
    const Line& line = found->lines[it->second];
    return std::string(ValueOf(line.raw, line.eq));
}

int ProfileStore::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
    return ParseInteger(ReadString(section, key, "")).value_or(fallback);
}

bool ProfileStore::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
    const auto value = ParseInteger(ReadString(section, key, ""));
    return value ? *value != 0 : fallback;
}

double ProfileStore::ReadFloat(std::string_view section, std::string_view key,
                               double fallback) const {
    return ParseFloat(ReadString(section, key, "")).value_or(fallback);
}

bool ProfileStore::SectionExists(std::string_view section) const {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    const Section* found = Find(section);
    return found && found->HasKeys();
}

std::vector<std::string> ProfileStore::ReadKeys(std::string_view section) const {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    std::vector<std::string> keys;
    if (const Section* found = Find(section))
        for (const Line& line : found->lines)
            if (line.eq != std::string::npos)
                keys.emplace_back(KeyOf(line.raw, line.eq));
    return keys;
}

bool ProfileStore::Set(std::string_view sectionName, std::string_view key, std::string value) {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    if (!m_readError.empty())
        return Refuse();
    key = TrimBlanks(key);
    Section& section = FindOrAppend(sectionName);
    const auto it = section.keys.find(Lower(key));
    if (it != section.keys.end()) {
        Line& line = section.lines[it->second];
        if (ValueOf(line.raw, line.eq) == value)
            return m_dirty ? Changed() : true;
        line.raw.resize(line.eq + 1);
        line.raw += value;
        return Changed();
    }
    // A new key goes after the section's last non-blank line.
    size_t at = section.lines.size();
    while (at > 0 && IsBlankLine(section.lines[at - 1].raw))
        --at;
    if (at > 0 && !section.lines[at - 1].newline) {
        section.lines[at - 1].newline = true;
        section.lines[at - 1].crlf = m_crlf;
    }
    Line line{std::string(key) + "=" + value, true, m_crlf, key.size()};
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    section.RebuildKeys();
    return Changed();
}

bool ProfileStore::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
    return Set(section, key, std::string(value));
}

bool ProfileStore::WriteInteger(std::string_view section, std::string_view key, int value) {
    return Set(section, key, std::to_string(value));
}

bool ProfileStore::WriteBool(std::string_view section, std::string_view key, bool value) {
    return Set(section, key, value ? "1" : "0");
}

bool ProfileStore::WriteFloat(std::string_view section, std::string_view key, double value) {
    return Set(section, key, FormatGeneral(value));
}

bool ProfileStore::EraseSection(std::string_view section) {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    if (!m_readError.empty())
        return Refuse();
    const std::string name = Lower(TrimBlanks(section));
    const auto removed = std::erase_if(m_sections, [&](const std::unique_ptr<Section>& s) {
        return s->hasHeader && s->nameLower == name;
    });
    if (removed == 0)
        return m_dirty ? Changed() : true;
    RebuildIndex();
    return Changed();
}

bool ProfileStore::DeleteKey(std::string_view sectionName, std::string_view key) {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    if (!m_readError.empty())
        return Refuse();
    Section* section = Find(sectionName);
    if (!section)
        return m_dirty ? Changed() : true;
    const auto it = section->keys.find(Lower(TrimBlanks(key)));
    if (it == section->keys.end())
        return m_dirty ? Changed() : true;
    section->lines.erase(section->lines.begin() + static_cast<std::ptrdiff_t>(it->second));
    section->RebuildKeys();
    return Changed();
}

std::string ProfileStore::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

std::string ProfileStore::ReadError() const {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    return m_readError;
}

// What the file holds is unknown, so no write may replace it.
bool ProfileStore::Refuse() {
    m_lastError = "Cannot write " + m_file.string() + ": the file is there but cannot be read (" +
                  m_readError + ")";
    if (m_batchDepth > 0)
        m_batchRefused = true;
    return false;
}

bool ProfileStore::Changed() {
    m_dirty = true;
    return m_batchDepth > 0 ? true : WriteFile();
}

std::string ProfileStore::Serialize() const {
    std::string out;
    auto append = [&out](const Line& line) {
        out += line.raw;
        if (line.newline)
            out += line.crlf ? "\r\n" : "\n";
    };
    for (const auto& section : m_sections) {
        if (section->hasHeader)
            append(section->header);
        for (const Line& line : section->lines)
            append(line);
    }
    return out;
}

bool ProfileStore::WriteFile() {
    const int error = ReplaceRegularFile(m_file, Serialize());
    if (error != 0) {
        m_lastError = "Cannot write " + m_file.string() + ": " + Reason(error);
        return false;
    }
    m_dirty = false;
    m_lastError.clear();
    m_stamp = ReadStamp();
    return true;
}

void ProfileStore::BeginBatch() {
    std::lock_guard lock(m_mutex);
    RefreshIfChanged();
    ++m_batchDepth;
}

bool ProfileStore::EndBatch() {
    std::lock_guard lock(m_mutex);
    if (m_batchDepth > 0 && --m_batchDepth > 0)
        return true;
    const bool refused = std::exchange(m_batchRefused, false);
    return (!m_dirty || WriteFile()) && !refused;
}

ProfileStore::Batch::Batch(ProfileStore& store) : m_store(&store) {
    m_store->BeginBatch();
}

ProfileStore::Batch::~Batch() {
    Commit();
}

bool ProfileStore::Batch::Commit() {
    if (!m_store)
        return true;
    ProfileStore* store = std::exchange(m_store, nullptr);
    return store->EndBatch();
}

} // namespace halvane
