#pragma once

#include "Prompts.h"
#include "qxclass/ErrorBox.h"

namespace qx {

// Routes the table library's error boxes ("CDatabase::Go" under "Error") to `prompts` for as long as
// the object lives, then restores the route that was in force before. The application keeps one for
// its whole life; a command keeps one around its work.
class ErrorBoxesToPrompts {
public:
    explicit ErrorBoxesToPrompts(Prompts& prompts);
    ~ErrorBoxesToPrompts();
    ErrorBoxesToPrompts(const ErrorBoxesToPrompts&) = delete;
    ErrorBoxesToPrompts& operator=(const ErrorBoxesToPrompts&) = delete;

private:
    ErrorBoxHandler m_previous;
};

}  // namespace qx
