#include "PathPicker.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "InstallationPath.h"
#include "UiText.h"

namespace qx {

namespace {

QString startOf(const PathMap& paths, const QString& current) {
    return nativeText(current.isEmpty() ? paths.root() : paths.native(ss(current)));
}

}  // namespace

QString pickDirectory(QWidget* parent, const QString& title, const PathMap& paths, const QString& current) {
    QString dir = QFileDialog::getExistingDirectory(parent, title, startOf(paths, current));
    return dir.isEmpty() ? dir : qs(installationPath(paths, nativePath(dir)));
}

QString pickProgram(QWidget* parent, const QString& title, const QString& filter, const PathMap& paths,
                    const QString& current) {
    QString file = QFileDialog::getOpenFileName(parent, title, startOf(paths, current), filter);
    return file.isEmpty() ? file : qs(installationPath(paths, nativePath(file)));
}

QWidget* withFolderPicker(QLineEdit* field, const QString& title, const PathMap& paths) {
    auto* holder = new QWidget;
    auto* h = new QHBoxLayout(holder);
    h->setContentsMargins(0, 0, 0, 0);
    field->setMinimumWidth(260);
    auto* pick = new QPushButton("...");
    pick->setMaximumWidth(36);
    h->addWidget(field, 1);
    h->addWidget(pick);
    QObject::connect(pick, &QPushButton::clicked, field, [field, title, &paths] {
        QString dir = pickDirectory(field->window(), title, paths, field->text());
        if (!dir.isEmpty())
            field->setText(dir);
    });
    return holder;
}

}  // namespace qx
