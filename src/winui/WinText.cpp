#include "WinText.h"

#include <windows.h>

#include <optional>
#include <utility>

#include "CodePage.h"
#include "WideText.h"

namespace qx::winui {
namespace {

// Valid UTF-8 as UTF-16; nullopt for any other bytes.
std::optional<std::wstring> fromUtf8(std::string_view utf8) {
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

std::wstring uiText(std::string_view utf8) {
    // A language file in the code page (as older installations keep them) is read as such.
    if (std::optional<std::wstring> wide = fromUtf8(utf8))
        return std::move(*wide);
    return displayText(utf8);
}

std::wstring displayText(std::string_view text) {
    if (std::optional<std::wstring> wide = fromUtf8(displayUtf8(text, static_cast<CodePage>(ansiCodePage()))))
        return std::move(*wide);
    return widen(text);
}

}  // namespace qx::winui
