#include "DisplayProbe.h"

#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace qx {

namespace {

bool set(const char* value) {
    return value && *value;
}

bool present(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace

bool displayReachable(const char* qpaPlatform, const char* waylandDisplay, const char* display,
                      const char* runtimeDir, const fs::path& x11Sockets) {
    if (set(qpaPlatform))
        return true;
    if (set(waylandDisplay)) {
        fs::path socket(waylandDisplay);
        if (socket.is_absolute() ? present(socket)
                                 : set(runtimeDir) && present(fs::path(runtimeDir) / socket))
            return true;
    }
    if (!set(display))
        return false;
    std::string name(display);
    if (name[0] != ':')
        return true;
    std::string number =
        name.substr(1, name.find('.') == std::string::npos ? std::string::npos : name.find('.') - 1);
    return !number.empty() && present(x11Sockets / ("X" + number));
}

}  // namespace qx
