#include "DriveSelectionDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QVBoxLayout>
#include <filesystem>

#include "DialogTexts.h"
#include "DriveSelectionForm.h"
#include "PathMap.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

DriveSelectionDialog::DriveSelectionDialog(Services& s, const std::string& driveList, QWidget* parent)
    : QDialog(parent), m_driveList(driveList) {
    const StringTable& t = s.strings;
    setWindowTitle(uiText(t, kTxtDriveSelectTitle));
    DriveChecks checks = openDriveChecks(s.paths, driveList, std::filesystem::current_path());
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* box = new QGroupBox(uiText(t, kTxtDriveSelectBox));
    auto* v = new QVBoxLayout(box);
    for (std::size_t i = 0; i < m_checks.size(); ++i) {
        m_checks[i] =
            new QCheckBox(uiString(t.format(kTxtCheckDrive, std::string(1, kCheckableDrives[i]) + ":")));
        m_checks[i]->setChecked(checks.checked[i]);
        m_checks[i]->setEnabled(checks.available[i]);
        v->addWidget(m_checks[i]);
    }
    top->addWidget(box);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(uiText(t, kTxtOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(uiText(t, kTxtCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

void DriveSelectionDialog::accept() {
    std::array<bool, 4> checked{};
    for (std::size_t i = 0; i < m_checks.size(); ++i)
        checked[i] = m_checks[i]->isChecked();
    m_driveList = driveListOf(checked);
    QDialog::accept();
}

}  // namespace qx
