#include "ConferenceDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

#include "ActivityLog.h"
#include "AlarmReport.h"
#include "Clock.h"
#include "ConferenceForm.h"
#include "ConferenceRecordings.h"
#include "DialogTexts.h"
#include "OperationRunner.h"
#include "PathMap.h"
#include "PathPicker.h"
#include "Profile.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

namespace {

QSpinBox* weeksField(int weeks) {
    auto* spin = new QSpinBox;
    spin->setRange(0, 999);
    spin->setValue(weeks);
    return spin;
}

}  // namespace

ConferenceDialog::ConferenceDialog(Services& s, DialogJobs jobs, QWidget* parent)
    : QDialog(parent), m_services(s), m_jobs(std::move(jobs)) {
    const StringTable& t = s.strings;
    auto text = [&](int id) { return uiText(t, id); };
    setWindowTitle(text(kTxtConferenceTitle));
    ConferenceSettings c = readConferenceSettings(s.profile);
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* grid = new QGridLayout;
    m_move = new QCheckBox(text(kTxtConfMove));
    m_moveWeeks = weeksField(c.moveWeeks);
    m_moveTo = new QLineEdit(qs(c.archiveDirectory));
    grid->addWidget(m_move, 0, 0);
    grid->addWidget(m_moveWeeks, 0, 1);
    grid->addWidget(new QLabel(text(kTxtConfMoveTo)), 0, 2);
    grid->addWidget(withFolderPicker(m_moveTo, text(kTxtSelectPath), s.paths), 1, 0, 1, 3);
    m_delete = new QCheckBox(text(kTxtConfDelete));
    m_deleteWeeks = weeksField(c.deleteWeeks);
    m_deleteFrom = new QLineEdit(qs(c.deleteFrom));
    grid->addWidget(m_delete, 2, 0);
    grid->addWidget(m_deleteWeeks, 2, 1);
    grid->addWidget(new QLabel(text(kTxtConfDeleteFrom)), 2, 2);
    grid->addWidget(withFolderPicker(m_deleteFrom, text(kTxtSelectPath), s.paths), 3, 0, 1, 3);
    auto* hint = new QLabel(text(kTxtConfEmptyDelete));
    hint->setIndent(4);
    grid->addWidget(hint, 4, 0, 1, 3);
    m_daily = new QCheckBox(text(kTxtConfDaily));
    grid->addWidget(m_daily, 5, 0, 1, 3);
    top->addLayout(grid);

    m_move->setChecked(c.moveStep);
    m_delete->setChecked(c.deleteStep);
    m_daily->setChecked(c.daily);
    connect(m_move, &QCheckBox::toggled, this, [this] { applyRules(); });
    connect(m_delete, &QCheckBox::toggled, this, [this] { applyRules(); });

    auto* buttons = new QHBoxLayout;
    auto* test = new QPushButton(text(kTxtTestDeleteTitle));
    auto* save = new QPushButton(text(kTxtSave));
    auto* cancel = new QPushButton(text(kTxtCancel));
    save->setDefault(true);
    buttons->addWidget(test);
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    top->addLayout(buttons);
    connect(test, &QPushButton::clicked, this, [this] {
        ConferenceSettings now = fromControls();
        std::unique_ptr<QDialog> dialog(testDeleteDialog(m_services, m_jobs, this, &now));
        dialog->exec();
    });
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    applyRules();
}

void ConferenceDialog::applyRules() {
    ConferenceSettings switches;
    switches.moveStep = m_move->isChecked();
    switches.deleteStep = m_delete->isChecked();
    const ConferenceEnabled on = conferenceEnabled(switches);
    m_moveWeeks->setEnabled(on.move);
    m_moveTo->parentWidget()->setEnabled(on.move);
    m_deleteWeeks->setEnabled(on.remove);
    m_deleteFrom->parentWidget()->setEnabled(on.remove);
}

ConferenceSettings ConferenceDialog::fromControls() const {
    ConferenceSettings c = readConferenceSettings(m_services.profile);
    c.moveStep = m_move->isChecked();
    c.moveWeeks = m_moveWeeks->value();
    c.archiveDirectory = ss(m_moveTo->text());
    c.deleteStep = m_delete->isChecked();
    c.deleteWeeks = m_deleteWeeks->value();
    c.deleteFrom = ss(m_deleteFrom->text());
    c.daily = m_daily->isChecked();
    return c;
}

void ConferenceDialog::accept() {
    if (saveConference(m_services, fromControls()))
        QDialog::accept();
}

QDialog* ConferenceDialog::testDeleteDialog(Services& s, DialogJobs jobs, QWidget* parent,
                                            const ConferenceSettings* settings) {
    ConferenceSettings c = settings ? *settings : readConferenceSettings(s.profile);
    return new TestDeleteDialog(s, std::move(jobs), c, parent);
}

TestDeleteDialog::TestDeleteDialog(Services& s, DialogJobs jobs, const ConferenceSettings& settings,
                                   QWidget* parent)
    : QDialog(parent), m_form(s, std::move(jobs), settings) {
    const StringTable& t = s.strings;
    setWindowTitle(uiText(t, kTxtTestDeleteTitle));
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(uiString(m_form.caption())));
    m_files = new QListWidget;
    m_files->setMinimumSize(460, 220);
    for (const auto& line : m_form.lines())
        m_files->addItem(displayText(line));
    top->addWidget(m_files, 1);
    auto* busy = new QLabel(uiText(t, kTxtWorking));
    busy->setVisible(false);
    auto* buttons = new QHBoxLayout;
    auto* now = new QPushButton(uiText(t, kTxtDeleteNow));
    auto* close = new QPushButton(uiText(t, kTxtClose));
    buttons->addWidget(now);
    buttons->addWidget(busy);
    buttons->addStretch(1);
    buttons->addWidget(close);
    top->addLayout(buttons);
    m_runner = new OperationRunner(this);
    connect(m_runner, &OperationRunner::busyChanged, this, [this, busy, now, close](bool working) {
        busy->setVisible(working);
        now->setEnabled(!working);
        close->setEnabled(!working);
        if (!working)
            finished();
    });
    connect(now, &QPushButton::clicked, this, &TestDeleteDialog::deleteNow);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

TestDeleteDialog::~TestDeleteDialog() {
    // The work uses the form, which goes before the runner (a child of the dialog) would wait for it.
    m_runner->wait();
}

void TestDeleteDialog::deleteNow() {
    if (!m_form.prepareDeletion())
        return;
    TestDeleteForm& form = m_form;
    m_runner->start([&form] { form.deleteListed(); });
}

void TestDeleteDialog::finished() {
    m_form.finished();
    accept();
}

}  // namespace qx
