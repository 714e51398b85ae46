#include "RegularFile.h"

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

} // namespace halvane
