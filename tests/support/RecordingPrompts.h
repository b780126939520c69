#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Prompts.h"

namespace qx::test {

// Message boxes for tests: records "caption|text" of each warning and question, and answers every
// question with `answer`.
class RecordingPrompts : public Prompts {
public:
    explicit RecordingPrompts(bool answerYes = true) : answer(answerYes) {}

    void warn(std::string_view text, std::string_view caption) override {
        std::lock_guard lock(m_mutex);
        m_warnings.push_back(std::string(caption) + "|" + std::string(text));
    }

    bool ask(std::string_view text, std::string_view caption) override {
        std::lock_guard lock(m_mutex);
        m_questions.push_back(std::string(caption) + "|" + std::string(text));
        return answer;
    }

    std::vector<std::string> warnings() const {
        std::lock_guard lock(m_mutex);
        return m_warnings;
    }
    std::vector<std::string> questions() const {
        std::lock_guard lock(m_mutex);
        return m_questions;
    }

    bool answer;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_warnings;
    std::vector<std::string> m_questions;
};

}  // namespace qx::test
