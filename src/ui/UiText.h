#pragma once

#include <QString>
#include <string>

#include "StringTable.h"

namespace qx {

// A text of the string table for a control: the tables hold UTF-8.
inline QString uiText(const StringTable& strings, int id) {
    return QString::fromStdString(strings.get(id));
}

inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string ss(const QString& text) {
    return text.toStdString();
}

}  // namespace qx
