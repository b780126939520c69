#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qx {

// One value for formatText: a number or a text.
struct FormatArgument {
    FormatArgument(int value) : isNumber(true), number(value) {}
    FormatArgument(std::string_view value) : text(value) {}
    FormatArgument(const char* value) : text(value) {}
    FormatArgument(const std::string& value) : text(value) {}

    bool isNumber = false;
    int number = 0;
    std::string_view text;
};

// Writes `format` with its "%s", "%d", "%i" and "%0Nd" / "%Nd" (one-digit width) replaced by the
// arguments in order; other text, and specifiers past the last argument, stay as they are. The texts of
// a language file are formats (the clock, the week, the report's headings), and are formatted only
// with this, so that a stray or hostile specifier there can never read past the arguments.
std::string formatText(std::string_view format, std::initializer_list<FormatArgument> arguments);

}  // namespace qx
