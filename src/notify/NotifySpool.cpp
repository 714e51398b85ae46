#include "NotifySpool.h"

#include "RegularFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <system_error>

namespace halvane {

namespace {

constexpr std::string_view kSuffix = ".msg";
constexpr std::uintmax_t kMaxMessageBytes = 1024 * 1024;

std::string FileName(std::chrono::system_clock::time_point at, uint64_t sequence) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    char name[64];
    std::snprintf(name, sizeof name, "%016lld-%08llu",
                  static_cast<long long>(std::max<long long>(ms, 0)),
                  static_cast<unsigned long long>(sequence));
    return name + std::string(kSuffix);
}

struct NameParts {
    std::chrono::system_clock::time_point at;
    uint64_t sequence = 0;
};

std::optional<NameParts> ParseName(std::string_view name) {
    if (name.size() != 16 + 1 + 8 + kSuffix.size() || !name.ends_with(kSuffix) || name[16] != '-')
        return std::nullopt;
    long long ms = 0;
    NameParts parts;
    const char* end = name.data() + 16;
    if (std::from_chars(name.data(), end, ms).ptr != end)
        return std::nullopt;
    if (std::from_chars(end + 1, end + 9, parts.sequence).ptr != end + 9)
        return std::nullopt;
    parts.at = std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
    return parts;
}

} // namespace

NotifySpool::NotifySpool(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::vector<SpooledMessage> NotifySpool::Pending() {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, error))
        if (ParseName(entry.path().filename().string()))
            files.push_back(entry.path());
    std::ranges::sort(files);
    std::vector<SpooledMessage> messages;
    for (const auto& file : files) {
        const NameParts parts = *ParseName(file.filename().string());
        m_sequence = std::max(m_sequence, parts.sequence + 1);
        const FileContent content = ReadRegularFile(file, kMaxMessageBytes);
        const size_t end = content.bytes.find('\n');
        if (!content.error.empty() || end == std::string::npos)
            continue;
        messages.push_back(
            {file, parts.at, content.bytes.substr(0, end), content.bytes.substr(end + 1)});
    }
    return messages;
}

std::variant<SpooledMessage, std::string> NotifySpool::Add(std::chrono::system_clock::time_point at,
                                                           std::string_view title,
                                                           std::string_view payload) {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    SpooledMessage message{m_folder / FileName(at, m_sequence++), at, std::string(title),
                           std::string(payload)};
    const int failed = ReplaceRegularFile(message.file, message.title + '\n' + message.payload);
    if (failed != 0)
        return "Cannot write " + message.file.string() + ": " +
               std::generic_category().message(failed);
    return message;
}

void NotifySpool::Remove(const SpooledMessage& message) {
    std::error_code error;
    std::filesystem::remove(message.file, error);
}

} // namespace halvane
