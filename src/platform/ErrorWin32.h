#pragma once

#include <windows.h>

#include <system_error>

namespace qx {

// A Windows error as the error the POSIX calls give for the same cause, so that the jobs compare with
// std::errc alike on both systems; other errors keep their Windows code.
inline std::error_code errorFromWin32(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return {};
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return std::make_error_code(std::errc::device_or_resource_busy);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        case ERROR_NOT_SAME_DEVICE:
            return std::make_error_code(std::errc::cross_device_link);
        case ERROR_DIRECTORY:
            return std::make_error_code(std::errc::not_a_directory);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::make_error_code(std::errc::no_space_on_device);
        case ERROR_WRITE_PROTECT:
            return std::make_error_code(std::errc::read_only_file_system);
        case ERROR_INVALID_NAME:
            return std::make_error_code(std::errc::invalid_argument);
        default:
            return {static_cast<int>(code), std::system_category()};
    }
}

inline std::error_code lastWin32Error() {
    return errorFromWin32(GetLastError());
}

// Owns one Windows handle and closes it on every path out.
class Win32Handle {
public:
    explicit Win32Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Win32Handle() {
        if (valid())
            CloseHandle(m_handle);
    }
    Win32Handle(const Win32Handle&) = delete;
    Win32Handle& operator=(const Win32Handle&) = delete;

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    // Closes now; the error of a close that failed, empty otherwise.
    std::error_code close() {
        if (!valid())
            return {};
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) ? std::error_code() : lastWin32Error();
    }

private:
    HANDLE m_handle;
};

}  // namespace qx
