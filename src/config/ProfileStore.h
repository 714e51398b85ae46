#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace halvane {

// An INI profile file: "[Section]" lines and "Key=Value" lines. Names match without
// regard to case; every line that no write touches keeps its bytes (comments, order,
// unknown keys, 8-bit text, line ends).
//
// Every write reaches the file before it returns, through a temporary file renamed over
// the old one. A Batch defers the file write to the end of one operation. Reads are
// served from memory; a read outside a batch re-reads the file when another program
// changed it. All operations may be called from several threads.
//
// The rename never replaces what a write in place could not change: a file that exists
// but could not be read (its mode, an I/O error, a folder in its place) reads as empty
// and refuses every write until it can be read again, and a file the user may not read
// and write (its mode, a read-only mount) makes every file write fail.
class ProfileStore final {
public:
    // Opens the file; an absent file reads as empty until written.
    explicit ProfileStore(std::filesystem::path file);
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
    double ReadFloat(std::string_view section, std::string_view key, double fallback) const;
    // A section exists while it holds at least one key.
    bool SectionExists(std::string_view section) const;
    // The key names of a section, in file order.
    std::vector<std::string> ReadKeys(std::string_view section) const;

    // Writes return false when the file could not be written (LastError() says why).
    // A write refused because the file could not be read is dropped; otherwise the value
    // is kept in memory and goes out with the next successful write.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);
    bool WriteBool(std::string_view section, std::string_view key, bool value);
    bool WriteFloat(std::string_view section, std::string_view key, double value);
    bool EraseSection(std::string_view section);
    bool DeleteKey(std::string_view section, std::string_view key);

    const std::filesystem::path& FileName() const { return m_file; }
    std::string LastError() const;
    // Why the file that is there could not be read, so that reads give their defaults;
    // empty when it was read or is absent.
    std::string ReadError() const;

    // Groups the writes of one operation into one file write when the outermost batch
    // ends. External edits are looked for once, when the outermost batch begins.
    class Batch final {
    public:
        explicit Batch(ProfileStore& store);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Ends the batch early; true when the file holds every write of it.
        bool Commit();

    private:
        ProfileStore* m_store;
    };

private:
    struct Line;
    struct Section;
    struct FileStamp {
        bool exists = false;
        uintmax_t size = 0;
        int64_t mtimeNs = 0;
        uintmax_t inode = 0;
        bool operator==(const FileStamp&) const = default;
    };

    FileStamp ReadStamp() const;
    void RefreshIfChanged() const;
    void Parse(std::string_view content) const;
    void RebuildIndex() const;
    Section* Find(std::string_view section) const;
    Section& FindOrAppend(std::string_view section);
    bool Set(std::string_view section, std::string_view key, std::string value);
    bool Refuse();
    bool Changed();
    bool WriteFile();
    std::string Serialize() const;
    void BeginBatch();
    bool EndBatch();

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    mutable std::vector<std::unique_ptr<Section>> m_sections;  // [0]: lines before any header
    mutable std::unordered_map<std::string, Section*> m_index; // lower-case name → first
    mutable FileStamp m_stamp;
    mutable bool m_crlf = false;     // new lines end like the file's first line
    mutable std::string m_readError; // why the file that is there could not be read
    int m_batchDepth = 0;
    bool m_batchRefused = false; // a write of the current batch was refused
    bool m_dirty = false;
    std::string m_lastError;
};

} // namespace halvane
