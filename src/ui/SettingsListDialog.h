#pragma once

#include <QDialog>

#include "Services.h"
#include "SettingsList.h"

class QTreeWidget;

namespace qx {

// A list dialog of Part of the settings: the entries of one numbered list with Add, Edit, Delete
// and Back. Each change is written at once by the entry's editor or by Delete; Back only closes.
class SettingsListDialog : public QDialog {
    Q_OBJECT
public:
    SettingsListDialog(Services& services, ListKind kind, QWidget* parent = nullptr);

    // Reads the list afresh into the rows.
    void reload();

    // Add: opens the editor for a new entry; on a full list (49 entries) says so instead.
    void addEntry();

    // Delete: asks for the selected entry (with No as the default) and shifts the later entries down.
    void deleteSelected();

    QTreeWidget* rows() const { return m_rows; }

    // The editor of the list's kind for entry `number` (0: a new entry), not shown.
    static QDialog* editor(Services& services, ListKind kind, int number, QWidget* parent);
    // The parameters dialog of module task `number`, not shown.
    static QDialog* parameterDialog(Services& services, int number, QWidget* parent);

private:
    void edit(int number);

    Services& m_services;
    SettingsList m_list;
    QTreeWidget* m_rows;
};

}  // namespace qx
