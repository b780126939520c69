#include "Profile.h"

#include <cstring>

#include "ProfileParser.h"

namespace qx {

std::string ProfileWriteResult::reason() const {
    switch (m_error) {
        case ProfileWriteError::None:
            return {};
        case ProfileWriteError::NotReadBack:
            return "the name or value would not read back (line break, ']' in the section, '=' in the key, "
                   "or a key beginning with ';' or '[')";
        case ProfileWriteError::NotRegular:
            return "not a regular file";
        case ProfileWriteError::ReadOnly:
            return "the file is read-only";
        case ProfileWriteError::DanglingLink:
            return "the file is a symbolic link to a file that does not exist";
        case ProfileWriteError::TooLong:
            return "the value is longer than the system stores (" + std::to_string(kMaxProfileValue) +
                   " characters)";
        case ProfileWriteError::Failed:
            break;
    }
    return m_systemError ? std::strerror(m_systemError) : "cannot be written";
}

std::string profileWriteFailure(std::string_view file, std::string_view section, std::string_view key,
                                const ProfileWriteResult& result) {
    std::string line = "Cannot write ";
    if (!key.empty())
        line.append(key).append(" in ");
    line.append("[").append(section).append("] of ").append(file).append(": ").append(result.reason());
    return line;
}

bool isBareProfileName(std::string_view file) {
    return file.find_first_of("\\/:") == std::string_view::npos;
}

// The default of a text read, as Windows hands it back: without trailing spaces.
std::string_view trimProfileDefault(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string cutProfileText(std::string_view text, std::size_t limit, bool wholeCharacters) {
    if (text.size() <= limit)
        return std::string(text);
    if (wholeCharacters)
        while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80)
            --limit;
    return std::string(text.substr(0, limit));
}

}  // namespace qx
