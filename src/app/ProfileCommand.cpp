#include "ProfileCommand.h"

#include <charconv>
#include <limits>
#include <optional>
#include <ostream>

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

// Names the place, because a write also fails for names that would not read back as written.
int written(std::ostream& err, bool ok, const std::vector<std::string>& args) {
    if (ok)
        return 0;
    err << "qxmover profile: cannot " << args[0] << (args.size() > 3 ? " \"" + args[3] + "\" in" : "") << " ["
        << args[2] << "] of " << args[1] << '\n';
    return 1;
}

}  // namespace

int runProfileCommand(Profile& profile, const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err) {
    if (args.empty())
        return usage(err, "missing command (get, get-int, set or delete)");
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
        out << profile.getString(args[1], args[2], args[3], fallback, size) << '\n';
        return 0;
    }
    if (verb == "get-int") {
        if (operands != 4)
            return usage(err, "get-int wants FILE SECTION KEY DEFAULT");
        auto fallback = parseWhole<int>(args[4]);
        if (!fallback)
            return usage(err, "DEFAULT must be a 32-bit whole number, not \"" + args[4] + "\"");
        out << profile.getInt(args[1], args[2], args[3], *fallback) << '\n';
        return 0;
    }
    if (verb == "set") {
        if (operands != 4)
            return usage(err, "set wants FILE SECTION KEY VALUE");
        return written(err, profile.writeString(args[1], args[2], args[3], args[4]), args);
    }
    if (verb == "delete") {
        if (operands != 2 && operands != 3)
            return usage(err, "delete wants FILE SECTION [KEY]");
        bool ok = operands == 3 ? profile.writeString(args[1], args[2], args[3], std::nullopt)
                                : profile.deleteSection(args[1], args[2]);
        return written(err, ok, args);
    }
    return usage(err, "unknown command \"" + verb + "\" (get, get-int, set or delete)");
}

}  // namespace qx
