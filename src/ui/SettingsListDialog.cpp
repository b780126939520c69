#include "SettingsListDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

#include "DialogTexts.h"
#include "ListEditorForms.h"
#include "ListEditors.h"
#include "Profile.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

SettingsListDialog::SettingsListDialog(Services& s, ListKind kind, QWidget* parent)
    : QDialog(parent), m_services(s), m_list(s.profile, kind) {
    const StringTable& t = s.strings;
    const ListLayout& table = m_list.layout();
    setWindowTitle(uiText(t, table.title));
    auto* top = new QVBoxLayout(this);
    m_rows = new QTreeWidget;
    m_rows->setRootIsDecorated(false);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rows->setAllColumnsShowFocus(true);
    QStringList headers;
    int width = 0;
    for (auto [text, pixels] : table.columns) {
        headers << uiText(t, text);
        width += pixels;
    }
    m_rows->setHeaderLabels(headers);
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        m_rows->setColumnWidth(static_cast<int>(c), table.columns[c].second);
    m_rows->setMinimumSize(width + 24, 260);
    top->addWidget(m_rows, 1);

    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(uiText(t, kTxtAdd));
    auto* editButton = new QPushButton(uiText(t, kTxtEdit));
    auto* remove = new QPushButton(uiText(t, kTxtDelete));
    auto* back = new QPushButton(uiText(t, kTxtBack));
    for (auto* b : {add, editButton, remove})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(back);
    back->setDefault(true);
    top->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &SettingsListDialog::addEntry);
    connect(editButton, &QPushButton::clicked, this, [this] {
        int row = m_rows->indexOfTopLevelItem(m_rows->currentItem());
        if (row >= 0)
            edit(row + 1);
    });
    connect(m_rows, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { edit(m_rows->indexOfTopLevelItem(item) + 1); });
    connect(remove, &QPushButton::clicked, this, &SettingsListDialog::deleteSelected);
    connect(back, &QPushButton::clicked, this, &QDialog::accept);
    reload();
}

void SettingsListDialog::reload() {
    m_rows->clear();
    for (const auto& row : m_list.rows(m_services.strings)) {
        QStringList texts;
        for (const auto& text : row)
            texts << displayText(text);
        m_rows->addTopLevelItem(new QTreeWidgetItem(texts));
    }
}

void SettingsListDialog::deleteSelected() {
    QTreeWidgetItem* item = m_rows->currentItem();
    const int row = item && item->isSelected() ? m_rows->indexOfTopLevelItem(item) : -1;
    if (deleteListRow(m_services, m_list, row))
        reload();
}

void SettingsListDialog::addEntry() {
    if (listTakesEntry(m_services, m_list))
        edit(0);
}

void SettingsListDialog::edit(int number) {
    std::unique_ptr<QDialog> dialog(editor(m_services, m_list.kind(), number, this));
    dialog->exec();
    reload();
}

QDialog* SettingsListDialog::editor(Services& s, ListKind kind, int number, QWidget* parent) {
    switch (kind) {
        case ListKind::TimedTasks:
            return new TaskEditor(s, number, parent);
        case ListKind::ExtraDeletion:
            return new DeletionEditor(s, number, parent);
        case ListKind::Drives:
            break;
    }
    return new DriveEditor(s, number, parent);
}

QDialog* SettingsListDialog::parameterDialog(Services& s, int number, QWidget* parent) {
    return new TaskParameterDialog(s, number, parent);
}

}  // namespace qx
