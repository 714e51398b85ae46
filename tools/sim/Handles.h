#pragma once

#include <modbus.h>

#include <memory>
#include <unistd.h>
#include <utility>

namespace halvane::sim {

// Owners of libmodbus objects and file descriptors, so that every exit path releases them.

struct ContextFree {
    void operator()(modbus_t* context) const { modbus_free(context); }
};
// A context that owns no link (its socket, if any, belongs to someone else).
using ContextPtr = std::unique_ptr<modbus_t, ContextFree>;

struct ContextCloseAndFree {
    void operator()(modbus_t* context) const {
        modbus_close(context);
        modbus_free(context);
    }
};
// A context whose modbus_connect succeeded: it owns the link and closes it.
using ConnectedContextPtr = std::unique_ptr<modbus_t, ContextCloseAndFree>;

struct MappingFree {
    void operator()(modbus_mapping_t* mapping) const { modbus_mapping_free(mapping); }
};
using MappingPtr = std::unique_ptr<modbus_mapping_t, MappingFree>;

class UniqueFd final {
public:
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Close();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    ~UniqueFd() { Close(); }

    int Get() const { return m_fd; }

private:
    void Close() {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
    }

    int m_fd;
};

} // namespace halvane::sim
