#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace qx {

// The message boxes of the system: a warning with OK and a Yes/No question. A worker thread is never
// held by a box: implementations show the warning and return at once.
class Prompts {
public:
    virtual ~Prompts() = default;

    // Shows `text` under `caption` (exclamation icon, OK only) and returns without waiting.
    virtual void warn(std::string_view text, std::string_view caption) = 0;

    // Asks a Yes/No question; true exactly when Yes was chosen. Only interactive callers ask.
    virtual bool ask(std::string_view text, std::string_view caption) = 0;
};

// Headless: warnings go to standard error and to `sink` (the activity log), questions answer No.
class ConsolePrompts : public Prompts {
public:
    using Sink = std::function<void(const std::string& line)>;
    explicit ConsolePrompts(Sink sink = {}) : m_sink(std::move(sink)) {}

    void warn(std::string_view text, std::string_view caption) override;
    bool ask(std::string_view text, std::string_view caption) override;

private:
    Sink m_sink;
    std::mutex m_mutex;
};

// A terminal user answers questions on standard input ("y"/"yes" is Yes); `assumeYes` answers Yes
// without asking (the --yes option).
class TerminalPrompts : public Prompts {
public:
    explicit TerminalPrompts(bool assumeYes) : m_assumeYes(assumeYes) {}

    void warn(std::string_view text, std::string_view caption) override;
    bool ask(std::string_view text, std::string_view caption) override;

private:
    bool m_assumeYes;
};

}  // namespace qx
