#include "RegularFile.h"

#include "TemporaryFiles.h"
#include "UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace halvane {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

std::string TooLarge(std::uintmax_t maxBytes) {
    return "larger than " + std::to_string(maxBytes) + " bytes";
}

// The mode of a newly created file; the umask can only be read by setting it, so once.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// Writes all of `content` to `fd` and forces it to the disk; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        content.remove_prefix(static_cast<size_t>(n));
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

struct Replacement {
    int error = 0; // errno why the file may not be replaced
    mode_t mode = 0;
};

// The mode for a new version of `file`. A rename would replace even what a write in place
// could not change, so the file, when it is there, must be a regular file that the user
// may read and write (not read-only by its mode or its mount).
Replacement CheckReplaceable(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return errno == ENOENT ? Replacement{0, NewFileMode()} : Replacement{errno};
    if (!S_ISREG(st.st_mode))
        return {S_ISDIR(st.st_mode) ? EISDIR : EINVAL};
    if (::faccessat(AT_FDCWD, file.c_str(), R_OK | W_OK, AT_EACCESS) != 0)
        return {errno};
    return {0, static_cast<mode_t>(st.st_mode & 07777)};
}

// Writes `content` to a temporary file beside `file` and renames it over `file`; 0 or the
// errno of the failure, with no temporary file left behind.
int ReplaceFile(const std::filesystem::path& file, std::string_view content, mode_t mode) {
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    std::string temp = (folder / TemporaryNameTemplate(file.filename().string())).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, mode) == 0 ? WriteAll(fd, content) : errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), file.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temp.c_str());
    return error;
}
} // namespace

FileContent ReadRegularFile(const std::filesystem::path& file, std::uintmax_t maxBytes) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0)
        return {{}, Reason(errno)};
    if (!S_ISREG(st.st_mode))
        return {{}, S_ISDIR(st.st_mode) ? Reason(EISDIR) : "not a regular file"};
    // Files of /proc state no size: the bound holds for what is read as well.
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        return {{}, TooLarge(maxBytes)};
    FileContent content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n == 0)
            return content;
        if (n > 0)
            content.bytes.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            return {{}, Reason(errno)};
        if (content.bytes.size() > maxBytes)
            return {{}, TooLarge(maxBytes)};
    }
}

int ReplaceRegularFile(const std::filesystem::path& file, std::string_view content) {
    const Replacement target = CheckReplaceable(file);
    return target.error != 0 ? target.error : ReplaceFile(file, content, target.mode);
}

} // namespace halvane
