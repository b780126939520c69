#pragma once

#include <QIcon>

namespace qx {

// The program's icon (window, tray and the dialog's picture), drawn rather than loaded so that the
// program needs no image files.
QIcon moverIcon();

}  // namespace qx
