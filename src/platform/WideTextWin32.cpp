#include <windows.h>

#include "WideText.h"

namespace qx {

std::wstring widen(std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(ansiCodePage(), 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        // Not a code page this system knows: Latin-1, byte for byte, names the same bytes every time.
        return std::wstring(bytes.begin(), bytes.end());
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(ansiCodePage(), 0, bytes.data(), size, wide.data(), length);
    return wide;
}

std::optional<std::string> narrow(std::wstring_view text) {
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(ansiCodePage(), WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0,
                                     nullptr, &lossy);
    if (length <= 0 || lossy)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(ansiCodePage(), WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(), length,
                        nullptr, &lossy);
    if (lossy)
        return std::nullopt;
    return bytes;
}

std::optional<std::string> pathBytes(const std::filesystem::path& path) {
    return narrow(path.native());
}

}  // namespace qx
