#include "ErrorBoxBridge.h"

namespace qx {

ErrorBoxesToPrompts::ErrorBoxesToPrompts(Prompts& prompts)
    : m_previous(setErrorBoxHandler(
          [&prompts](const char* text, const char* caption) { prompts.warn(text, caption); })) {}

ErrorBoxesToPrompts::~ErrorBoxesToPrompts() {
    setErrorBoxHandler(std::move(m_previous));
}

}  // namespace qx
