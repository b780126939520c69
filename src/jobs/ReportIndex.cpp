#include "ReportIndex.h"

namespace qx {

std::vector<std::string> collectIndexLines(std::string_view index) {
    std::vector<std::string> lines;
    std::string line;
    line.reserve(kIndexLineLimit);
    for (char c : index) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 13 && byte < 128) {
            if (line.size() < kIndexLineLimit)
                line.push_back(c);
            continue;
        }
        if (byte >= 128 && line.size() < kIndexLineLimit) {
            line.push_back(c);
            continue;
        }
        if (line.size() > kIndexLineMinimum) {
            lines.push_back(line);
            line.clear();
        }
    }
    return lines;
}

IndexFields splitIndexLine(std::string_view line) {
    IndexFields fields;
    auto cut = [](std::string_view text, std::size_t limit) { return std::string(text.substr(0, limit)); };
    for (int number = 1; number <= 7; ++number) {
        const std::size_t comma = line.find(',');
        const std::string_view field = line.substr(0, comma);
        if (number == 1)
            fields.date = cut(field, 11);
        else if (number == 2)
            fields.time = cut(field, 23);
        else if (number == 4)
            fields.runName = cut(field, 11);
        if (comma == std::string_view::npos)
            break;
        line.remove_prefix(comma + 1);
    }
    return fields;
}

}  // namespace qx
