#include "ProfileCommand.h"

#include <charconv>
#include <filesystem>
#include <limits>
#include <optional>
#include <ostream>
#include <string_view>

#include "FileCheck.h"
#include "ProfileParser.h"

namespace qx {

namespace {

constexpr std::size_t kDefaultSize = 4096;

template <typename Number>
std::optional<Number> parseWhole(const std::string& text) {
    Number value{};
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (std::numeric_limits<Number>::is_signed && begin != end && *begin == '+')
        ++begin;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

int usage(std::ostream& err, const std::string& problem) {
    err << "qxmover profile: " << problem << '\n';
    return 2;
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Which rule refused a write: the names first (they are the caller's to mend), then the file.
std::string whyRefused(const Profile& profile, const std::vector<std::string>& args,
                       const ProfileWriteResult& result) {
    const std::string& section = args[2];
    if (hasLineBreak(section) || (args.size() > 3 && hasLineBreak(args[3])) ||
        (args.size() > 4 && hasLineBreak(args[4])))
        return "a line break in a name or value would not read back as written";
    if (section.find(']') != std::string::npos)
        return "a section name with ']' would not read back as written";
    if (args.size() > 3) {
        const std::string& key = args[3];
        if (key.find('=') != std::string::npos)
            return "a key with '=' would not read back as written";
        // Blanks as the parser cuts them, so that the reason given is the rule that refused.
        const std::string_view name = trimProfileBlanks(key);
        if (name.starts_with(';') || name.starts_with('['))
            return "a key beginning with ';' or '[' would not read back as written";
    }
    const std::filesystem::path file = profile.resolve(args[1]);
    std::error_code ec;
    auto status = std::filesystem::symlink_status(file, ec);
    if (std::filesystem::is_symlink(status) && !std::filesystem::exists(std::filesystem::status(file, ec)))
        return file.string() + " is a symbolic link to " + std::filesystem::read_symlink(file, ec).string() +
               ", which does not exist";
    if (std::filesystem::exists(status) &&
        !std::filesystem::is_regular_file(std::filesystem::status(file, ec)))
        return file.string() + " is not a regular file";
    if (std::filesystem::exists(status) &&
        (std::filesystem::status(file, ec).permissions() & std::filesystem::perms::owner_write) ==
            std::filesystem::perms::none)
        return file.string() + " is read-only";
    const std::filesystem::path directory = file.parent_path();
    if (!std::filesystem::is_directory(directory, ec))
        return "the directory " + directory.string() + " does not exist";
    if (!mayWrite(directory) && !mayWrite(file))
        return "neither " + directory.string() + " nor the file in it may be written";
    // What the file system said (a full disk, say) is the reason.
    if (result.error() == ProfileWriteError::Failed && result.systemError() != 0)
        return "writing " + file.string() + " failed: " + result.reason();
    return "writing " + file.string() + " failed";
}

// Names the place and the rule, because a write also fails for names that would not read back as
// written.
int written(std::ostream& err, const ProfileWriteResult& result, const Profile& profile,
            const std::vector<std::string>& args) {
    if (result)
        return 0;
    err << "qxmover profile: cannot " << args[0] << (args.size() > 3 ? " \"" + args[3] + "\" in" : "") << " ["
        << args[2] << "] of " << args[1] << ": " << whyRefused(profile, args, result) << '\n';
    return 1;
}

}  // namespace

int runProfileCommand(Profile& profile, const std::vector<std::string>& words, std::ostream& out,
                      std::ostream& err) {
    // --strict before the command or right after it; a value that happens to read "--strict" further on
    // stays a value.
    std::vector<std::string> args = words;
    bool strict = false;
    for (std::size_t at : {std::size_t(0), std::size_t(1)}) {
        if (args.size() > at && args[at] == "--strict") {
            args.erase(args.begin() + std::ptrdiff_t(at));
            strict = true;
            break;
        }
    }
    if (args.empty())
        return usage(err, "missing command (get, get-int, set or delete)");
    // A read of a file that is not there, or cannot be read, gives the default like a missing key; the
    // caller hears of it, and --strict makes it a failure.
    auto readable = [&](const std::string& file) {
        std::optional<std::string> problem = profile.readProblem(file);
        if (!problem)
            return true;
        err << "qxmover profile: " << (strict ? "" : "warning: ") << "cannot read "
            << profile.resolve(file).string() << ": " << *problem << (strict ? "" : "; the default is given")
            << '\n';
        return !strict;
    };
    const std::string& verb = args[0];
    const std::size_t operands = args.size() - 1;

    if (verb == "get") {
        if (operands < 3 || operands > 5)
            return usage(err, "get wants FILE SECTION KEY [DEFAULT [SIZE]]");
        std::size_t size = kDefaultSize;
        if (operands == 5) {
            auto parsed = parseWhole<std::size_t>(args[5]);
            if (!parsed)
                return usage(err, "SIZE must be a whole number, not \"" + args[5] + "\"");
            size = *parsed;
        }
        std::string fallback = operands >= 4 ? args[4] : std::string();
        const bool ok = readable(args[1]);
        out << profile.getString(args[1], args[2], args[3], fallback, size) << '\n';
        return ok ? 0 : 1;
    }
    if (verb == "get-int") {
        if (operands != 4)
            return usage(err, "get-int wants FILE SECTION KEY DEFAULT");
        auto fallback = parseWhole<int>(args[4]);
        if (!fallback)
            return usage(err, "DEFAULT must be a 32-bit whole number, not \"" + args[4] + "\"");
        const bool ok = readable(args[1]);
        out << profile.getInt(args[1], args[2], args[3], *fallback) << '\n';
        return ok ? 0 : 1;
    }
    if (verb == "set") {
        if (operands != 4)
            return usage(err, "set wants FILE SECTION KEY VALUE");
        return written(err, profile.writeString(args[1], args[2], args[3], args[4]), profile, args);
    }
    if (verb == "delete") {
        if (operands != 2 && operands != 3)
            return usage(err, "delete wants FILE SECTION [KEY]");
        ProfileWriteResult result = operands == 3
                                        ? profile.writeString(args[1], args[2], args[3], std::nullopt)
                                        : profile.deleteSection(args[1], args[2]);
        return written(err, result, profile, args);
    }
    return usage(err, "unknown command \"" + verb + "\" (get, get-int, set or delete)");
}

}  // namespace qx
