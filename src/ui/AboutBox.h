#pragma once

#include <QDialog>

#include "StringTable.h"

namespace qx {

// The About box: the program's title, version and an OK button.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(const StringTable& strings, QWidget* parent = nullptr);
};

}  // namespace qx
