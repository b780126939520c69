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
    m_moveWeeks->setEnabled(m_move->isChecked());
    m_moveTo->parentWidget()->setEnabled(m_move->isChecked());
    m_deleteWeeks->setEnabled(m_delete->isChecked());
    m_deleteFrom->parentWidget()->setEnabled(m_delete->isChecked());
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
    Services& s = m_services;
    if (savedOrWarned(writeConferenceSettings(s.profile, fromControls()), s.prompts, s.strings))
        QDialog::accept();
}

QDialog* ConferenceDialog::testDeleteDialog(Services& s, DialogJobs jobs, QWidget* parent,
                                            const ConferenceSettings* settings) {
    ConferenceSettings c = settings ? *settings : readConferenceSettings(s.profile);
    return new TestDeleteDialog(s, std::move(jobs), c.deleteWeeks, c.deleteDirectory(), c.deleteStep, parent);
}

TestDeleteDialog::TestDeleteDialog(Services& s, DialogJobs jobs, int weeks, std::string directory,
                                   bool deleting, QWidget* parent)
    : QDialog(parent),
      m_services(s),
      m_jobs(std::move(jobs)),
      m_weeks(weeks),
      m_directory(std::move(directory)),
      m_deleting(deleting) {
    const StringTable& t = s.strings;
    setWindowTitle(uiText(t, kTxtTestDeleteTitle));
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(uiString(formatText(t.get(kStrListedWavfiles), weeks, 0))));
    m_files = new QListWidget;
    m_files->setMinimumSize(460, 220);
    m_listed = listConferenceDeletions(s, weeks, m_directory, s.clock.now());
    if (m_listed.empty())
        m_files->addItem(uiText(t, kStrNoWavfiles));
    for (const auto& file : m_listed)
        m_files->addItem(displayText(file));
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

void TestDeleteDialog::deleteNow() {
    Services& s = m_services;
    // The job would run its move step alone, and what the list shows would stay.
    if (!m_deleting) {
        s.prompts.warn(s.strings.get(kTxtDeleteStepOff), s.strings.get(kStrErrorCaption));
        return;
    }
    // The job reads its weeks and directory from the profile: without them it would delete by the old ones.
    if (!savedOrWarned(writeConferenceDeleteSettings(s.profile, m_weeks, m_directory), s.prompts, s.strings))
        return;
    auto job = m_jobs.conferenceRecordings;
    m_runner->start([&s, job] {
        if (job)
            job(s, s.clock.now());
        else
            s.log.note("Delete now: the conference recordings job is not part of this build");
    });
}

void TestDeleteDialog::finished() {
    std::vector<std::string> left;
    for (const std::string& file : m_listed) {
        std::error_code ec;
        if (std::filesystem::symlink_status(file, ec).type() != std::filesystem::file_type::not_found)
            left.push_back(file);
    }
    if (!left.empty()) {
        // The names, as many as a box can show; the activity log has every failure with its reason.
        constexpr std::size_t kShown = 10;
        std::string text = m_services.strings.format(kTxtNotDeleted, std::to_string(left.size()));
        for (std::size_t i = 0; i < left.size() && i < kShown; ++i)
            text += "\n" + left[i];
        if (left.size() > kShown)
            text += "\n...";
        m_services.prompts.warn(text, m_services.strings.get(kStrErrorCaption));
    }
    accept();
}

}  // namespace qx
