#pragma once

#include <QDialog>
#include <array>

#include "Services.h"

class QCheckBox;

namespace qx {

// "Select drives": the drives C: to F: of the daily free-space check. OK rebuilds the list; the
// main dialog shows it and saves it with its own settings.
class DriveSelectionDialog : public QDialog {
    Q_OBJECT
public:
    DriveSelectionDialog(Services& services, const std::string& driveList, QWidget* parent = nullptr);

    // The list after OK ("C:,E:"); the list the dialog was opened with until then.
    const std::string& driveList() const { return m_driveList; }
    QCheckBox* check(std::size_t index) const { return m_checks[index]; }

    void accept() override;

private:
    std::string m_driveList;
    std::array<QCheckBox*, 4> m_checks{};
};

}  // namespace qx
