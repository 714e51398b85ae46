#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace halvane {

// One message waiting in the spool: what the journal calls it and what goes to the server.
struct SpooledMessage {
    std::filesystem::path file;
    std::chrono::system_clock::time_point queuedAt;
    std::string title;   // one line
    std::string payload; // the mail or the JSON, as sent

    bool operator==(const SpooledMessage&) const = default;
};

// A folder of messages that wait to be delivered, one file each, named by the time it was
// queued and a sequence number only ("0001797620701123-00000042.msg"), so that the names
// sort in the order of queueing. A file is written whole (a temporary renamed over it).
class NotifySpool final {
public:
    explicit NotifySpool(std::filesystem::path folder);

    // The messages left in the folder, oldest first; files that cannot be read are skipped.
    std::vector<SpooledMessage> Pending();
    // Writes a message queued at `at`; the message, or why it could not be written.
    std::variant<SpooledMessage, std::string> Add(std::chrono::system_clock::time_point at,
                                                  std::string_view title, std::string_view payload);
    void Remove(const SpooledMessage& message);

private:
    std::filesystem::path m_folder;
    uint64_t m_sequence = 0; // the next file's; above any read back
};

} // namespace halvane
