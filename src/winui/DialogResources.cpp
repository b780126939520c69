#include "DialogResources.h"

#include <algorithm>
#include <cstring>

#include "resource.h"

namespace qx::winui {

const std::array<NamedDialog, 14> kDialogs = {{
    {"main", IDD_MAIN},
    {"about", IDD_ABOUTBOX},
    {"tasks", IDD_TASK_LIST},
    {"deletions", IDD_DELETE_LIST},
    {"drives", IDD_DRIVE_LIST},
    {"task", IDD_TASK_EDITOR},
    {"parameters", IDD_TASK_PARAMETERS},
    {"deletion", IDD_DELETE_EDITOR},
    {"drive", IDD_DRIVE_EDITOR},
    {"watchdog", IDD_WATCHDOG_BOX},
    {"jobwatcher", IDD_JOB_WATCHER},
    {"driveselect", IDD_DRIVE_SELECT},
    {"conference", IDD_CONFERENCE},
    {"testdelete", IDD_TEST_DELETE},
}};

std::optional<LANGID> languageOf(std::string_view code) {
    for (const Language& language : kLanguages)
        if (code == language.code)
            return language.id;
    return std::nullopt;
}

std::optional<int> dialogNamed(std::string_view name) {
    for (const NamedDialog& dialog : kDialogs)
        if (name == dialog.name)
            return dialog.id;
    return std::nullopt;
}

namespace {

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

// The bytes of resource `name` of `type` in exactly `language`.
const void* resourceData(HMODULE module, LPCWSTR type, LPCWSTR name, LANGID language, std::size_t* size) {
    if (!hasResource(module, type, name, language))
        return nullptr;
    HRSRC info = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data && size)
        *size = SizeofResource(module, info);
    return data;
}

// The 16 strings of string table block `block` (ids (block - 1) * 16 to block * 16 - 1): each is a
// count of characters and as many characters; a count of 0 is a missing string.
std::array<std::optional<std::wstring>, 16> readBlock(HMODULE module, int block, LANGID language) {
    std::array<std::optional<std::wstring>, 16> strings;
    std::size_t size = 0;
    const auto* data =
        static_cast<const WCHAR*>(resourceData(module, RT_STRING, MAKEINTRESOURCEW(block), language, &size));
    if (!data)
        return strings;
    const std::size_t units = size / sizeof(WCHAR);
    std::size_t at = 0;
    for (auto& string : strings) {
        if (at >= units)
            break;
        const std::size_t length = data[at++];
        if (length > units - at)
            break;
        if (length > 0)
            string = std::wstring(data + at, length);
        at += length;
    }
    return strings;
}

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<int>*>(found)->push_back(
            static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Reads a template apart, never past its end.
class TemplateReader {
public:
    TemplateReader(const void* data, std::size_t size)
        : m_data(static_cast<const BYTE*>(data)), m_size(size) {}

    bool ok() const { return m_ok; }

    template <class T>
    T get() {
        T value{};
        if (m_at + sizeof(T) > m_size) {
            m_ok = false;
            return value;
        }
        std::memcpy(&value, m_data + m_at, sizeof(T));
        m_at += sizeof(T);
        return value;
    }

    // A text up to its terminating zero.
    std::wstring text() {
        std::wstring out;
        for (;;) {
            WCHAR c = get<WCHAR>();
            if (!m_ok || c == 0)
                return out;
            out.push_back(c);
        }
    }

    // Nothing, an ordinal (0xFFFF and a number) or a text.
    std::wstring textOrOrdinal(WORD* ordinal = nullptr) {
        WORD first = get<WORD>();
        if (!m_ok || first == 0)
            return {};
        if (first == 0xFFFF) {
            WORD number = get<WORD>();
            if (ordinal)
                *ordinal = number;
            return {};
        }
        m_at -= sizeof(WORD);
        return text();
    }

    void skip(std::size_t bytes) {
        if (bytes > m_size - std::min(m_at, m_size))
            m_ok = false;
        else
            m_at += bytes;
    }

    void alignToDword() { m_at = std::min(m_size, (m_at + 3) & ~std::size_t{3}); }

private:
    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    bool m_ok = true;
};

std::wstring predefinedClass(WORD atom) {
    switch (atom) {
        case 0x80:
            return L"Button";
        case 0x81:
            return L"Edit";
        case 0x82:
            return L"Static";
        case 0x83:
            return L"ListBox";
        case 0x84:
            return L"ScrollBar";
        case 0x85:
            return L"ComboBox";
    }
    return L"#" + std::to_wstring(atom);
}

}  // namespace

bool hasResource(HMODULE module, LPCWSTR type, LPCWSTR name, LANGID language) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, type, name, collectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return std::find(languages.begin(), languages.end(), language) != languages.end();
}

const DLGTEMPLATE* dialogTemplate(HMODULE module, int id, LANGID language, std::size_t* size) {
    return static_cast<const DLGTEMPLATE*>(
        resourceData(module, RT_DIALOG, MAKEINTRESOURCEW(id), language, size));
}

std::optional<std::wstring> resourceString(HMODULE module, int id, LANGID language) {
    if (id < 0 || id > 0xFFFF)
        return std::nullopt;
    return readBlock(module, id / 16 + 1, language)[id % 16];
}

std::vector<int> stringIds(HMODULE module, LANGID language) {
    std::vector<int> blocks;
    EnumResourceNamesW(module, RT_STRING, collectName, reinterpret_cast<LONG_PTR>(&blocks));
    std::vector<int> ids;
    for (int block : blocks) {
        auto strings = readBlock(module, block, language);
        for (int i = 0; i < 16; ++i)
            if (strings[i])
                ids.push_back((block - 1) * 16 + i);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<TemplateContents> readTemplate(const void* data, std::size_t size) {
    TemplateReader r(data, size);
    TemplateContents contents;
    const WORD version = r.get<WORD>();
    const WORD signature = r.get<WORD>();
    if (!r.ok() || version != 1 || signature != 0xFFFF)
        return std::nullopt;
    r.get<DWORD>();  // help id
    r.get<DWORD>();  // extended style
    contents.style = r.get<DWORD>();
    const WORD count = r.get<WORD>();
    r.get<short>();
    r.get<short>();
    contents.cx = r.get<short>();
    contents.cy = r.get<short>();
    r.textOrOrdinal();  // menu
    r.textOrOrdinal();  // window class
    contents.caption = r.text();
    if (contents.style & (DS_SETFONT | DS_SHELLFONT)) {
        r.get<WORD>();  // point size
        r.get<WORD>();  // weight
        r.get<BYTE>();  // italic
        r.get<BYTE>();  // character set
        contents.font = r.text();
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.alignToDword();
        TemplateControl control;
        r.get<DWORD>();  // help id
        r.get<DWORD>();  // extended style
        control.style = r.get<DWORD>();
        control.x = r.get<short>();
        control.y = r.get<short>();
        control.cx = r.get<short>();
        control.cy = r.get<short>();
        control.id = static_cast<int>(r.get<DWORD>());
        WORD atom = 0;
        control.className = r.textOrOrdinal(&atom);
        if (atom)
            control.className = predefinedClass(atom);
        control.text = r.textOrOrdinal();
        r.skip(r.get<WORD>());  // creation data
        contents.controls.push_back(control);
    }
    if (!r.ok())
        return std::nullopt;
    return contents;
}

std::wstring replacePlaceholder(std::wstring_view text, std::wstring_view argument) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] == L'1') {
            out.append(argument);
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace qx::winui
