#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "ConferenceForm.h"
#include "DialogJobs.h"
#include "Services.h"
#include "SettingRecords.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace qx {

class OperationRunner;

// "Conference wavfiles settings": the move and delete steps of the conference recordings, with the
// "Test delete" dialog. Writes only on Save.
class ConferenceDialog : public QDialog {
    Q_OBJECT
public:
    ConferenceDialog(Services& services, DialogJobs jobs, QWidget* parent = nullptr);
    void accept() override;

    ConferenceSettings fromControls() const;

    // The "Test delete" dialog for the weeks and directory of `settings` (the fields, not the file).
    static QDialog* testDeleteDialog(Services& services, DialogJobs jobs, QWidget* parent,
                                     const ConferenceSettings* settings = nullptr);

private:
    void applyRules();

    Services& m_services;
    DialogJobs m_jobs;
    QCheckBox* m_move;
    QSpinBox* m_moveWeeks;
    QLineEdit* m_moveTo;
    QCheckBox* m_delete;
    QSpinBox* m_deleteWeeks;
    QLineEdit* m_deleteFrom;
    QCheckBox* m_daily;
};

// "Test delete": lists the recordings the delete step would remove. "Delete now" stores the delete
// step's switch, weeks and directory and runs the whole conference job beside the window's thread;
// then it names what of the list is still there and closes. With deleting switched off in the
// settings it deletes nothing and says so.
class TestDeleteDialog : public QDialog {
    Q_OBJECT
public:
    TestDeleteDialog(Services& services, DialogJobs jobs, const ConferenceSettings& settings,
                     QWidget* parent);
    ~TestDeleteDialog() override;

    QListWidget* files() const { return m_files; }
    void deleteNow();

private:
    void finished();

    TestDeleteForm m_form;
    QListWidget* m_files;
    OperationRunner* m_runner;
};

}  // namespace qx
