#include "Launcher.h"

namespace qx {

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false;
    bool haveArg = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\') {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                current.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    current.push_back('"');
                } else {
                    inQuotes = !inQuotes;
                }
            } else {
                current.append(slashes, '\\');
                --i;
            }
            haveArg = true;
            continue;
        }
        if (c == '"') {
            inQuotes = !inQuotes;
            haveArg = true;
            continue;
        }
        if (!inQuotes && (c == ' ' || c == '\t')) {
            if (haveArg) {
                args.push_back(std::move(current));
                current.clear();
                haveArg = false;
            }
            continue;
        }
        current.push_back(c);
        haveArg = true;
    }
    if (haveArg)
        args.push_back(std::move(current));
    return args;
}

std::optional<Launcher::Resolved> Launcher::wouldRun(std::string_view commandLine) const {
    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty())
        return std::nullopt;
    Resolved out{std::move(words.front()), {}};
    out.arguments.assign(std::make_move_iterator(words.begin() + 1), std::make_move_iterator(words.end()));
    return out;
}

}  // namespace qx
