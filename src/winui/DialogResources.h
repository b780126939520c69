#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::winui {

// The languages of the resources, as their LANGUAGE statements in qxmover.rc give them.
struct Language {
    const char* code;  // "en", "de", "fr"
    LANGID id;
};
inline constexpr std::array<Language, 3> kLanguages = {{
    {"en", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)},
    {"de", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)},
    {"fr", MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)},
}};

// The language of `code`, nullopt for any other text.
std::optional<LANGID> languageOf(std::string_view code);

// Every dialog template by a short name, for the preview and the checks.
struct NamedDialog {
    const char* name;
    int id;
};
extern const std::array<NamedDialog, 14> kDialogs;

// The dialog called `name`; nullopt for an unknown name.
std::optional<int> dialogNamed(std::string_view name);

// True when `module` holds resource `name` of `type` in exactly `language` (no fallback to another).
bool hasResource(HMODULE module, LPCWSTR type, LPCWSTR name, LANGID language);

// The template of dialog `id` in exactly `language`; nullptr when the module lacks it.
const DLGTEMPLATE* dialogTemplate(HMODULE module, int id, LANGID language, std::size_t* size = nullptr);

// String `id` of the string table in exactly `language`; nullopt when that table lacks it.
std::optional<std::wstring> resourceString(HMODULE module, int id, LANGID language);

// Every id that the string table of `language` holds, ascending.
std::vector<int> stringIds(HMODULE module, LANGID language);

// One control of an extended dialog template.
struct TemplateControl {
    int id = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring className;  // a predefined class by its name ("Button", "Edit", ...)
    std::wstring text;       // empty for a control without a text or with a resource ordinal
};

// An extended dialog template (DLGTEMPLATEEX) read apart.
struct TemplateContents {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring caption;
    std::wstring font;
    std::vector<TemplateControl> controls;
};

// Reads the `size` bytes of an extended template; nullopt when they are not one or end too early.
std::optional<TemplateContents> readTemplate(const void* data, std::size_t size);

// `text` with every "%1" replaced by `argument`.
std::wstring replacePlaceholder(std::wstring_view text, std::wstring_view argument);

}  // namespace qx::winui
