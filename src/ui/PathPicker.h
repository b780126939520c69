#pragma once

#include <QString>

#include "PathMap.h"

class QLineEdit;
class QWidget;

namespace qx {

// The folder picker: starts at the field's path and returns the chosen folder as the installation
// writes it (see installationPath); empty when cancelled.
QString pickDirectory(QWidget* parent, const QString& title, const PathMap& paths, const QString& current);

// The program picker: files ending in .exe, .bat or .cmd (any other file when chosen by name).
QString pickProgram(QWidget* parent, const QString& title, const QString& filter, const PathMap& paths,
                    const QString& current);

// A line edit with a "..." button that opens the folder picker for it.
QWidget* withFolderPicker(QLineEdit* field, const QString& title, const PathMap& paths);

}  // namespace qx
