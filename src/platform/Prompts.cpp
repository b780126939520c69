#include "Prompts.h"

#include <iostream>
#include <string>

namespace qx {

void ConsolePrompts::warn(std::string_view text, std::string_view caption) {
    std::string line = std::string(caption) + " " + std::string(text);
    std::lock_guard lock(m_mutex);
    std::cerr << "qxmover: " << line << std::endl;
    if (m_sink)
        m_sink(line);
}

bool ConsolePrompts::ask(std::string_view text, std::string_view caption) {
    std::lock_guard lock(m_mutex);
    std::cerr << "qxmover: " << caption << " " << text << " (no one to answer: No)" << std::endl;
    return false;
}

void TerminalPrompts::warn(std::string_view text, std::string_view caption) {
    std::cerr << caption << " " << text << std::endl;
}

bool TerminalPrompts::ask(std::string_view text, std::string_view caption) {
    std::cerr << caption << " " << text << " [y/N] " << std::flush;
    if (m_assumeYes) {
        std::cerr << "y" << std::endl;
        return true;
    }
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

}  // namespace qx
