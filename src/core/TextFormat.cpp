#include "TextFormat.h"

namespace qx {

std::string formatText(std::string_view format, std::initializer_list<FormatArgument> arguments) {
    std::string out;
    const FormatArgument* next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size() || next == arguments.end()) {
            out.push_back(format[i]);
            continue;
        }
        std::size_t j = i + 1;
        bool zero = false;
        int width = 0;
        if (format[j] == '0') {
            zero = true;
            ++j;
        }
        if (j < format.size() && format[j] >= '1' && format[j] <= '9')
            width = format[j++] - '0';
        if (j >= format.size() || (format[j] != 's' && format[j] != 'd' && format[j] != 'i')) {
            out.push_back(format[i]);
            continue;
        }
        const FormatArgument& argument = *next++;
        std::string value = argument.isNumber ? std::to_string(argument.number) : std::string(argument.text);
        if (static_cast<int>(value.size()) < width) {
            const std::size_t pad = static_cast<std::size_t>(width) - value.size();
            if (zero && argument.isNumber && argument.number < 0)
                value.insert(1, pad, '0');
            else
                value.insert(0, pad, zero ? '0' : ' ');
        }
        out += value;
        i = j;
    }
    return out;
}

}  // namespace qx
