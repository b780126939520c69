#include "FileSearch.h"

namespace qx {

namespace {

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool match(std::string_view name, std::string_view pattern, std::size_t* steps = nullptr) {
    // Iterative wildcard match with single backtracking point: linear for the patterns in use.
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (steps)
            ++*steps;
        if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

bool matchesWildcard(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*" || pattern == "*")
        return true;
    if (match(name, pattern))
        return true;
    // "name.*" also finds "name", as the Windows search does.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return match(name, pattern.substr(0, pattern.size() - 2));
    return false;
}

std::size_t wildcardSteps(std::string_view name, std::string_view pattern) {
    std::size_t steps = 0;
    match(name, pattern, &steps);
    return steps;
}

}  // namespace qx
