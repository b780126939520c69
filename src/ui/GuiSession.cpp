#include "GuiSession.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdlib>

#include "CMoverDlg.h"
#include "DialogJobs.h"
#include "DialogTexts.h"
#include "DisplayProbe.h"
#include "MainDialogRules.h"
#include "MoverIcon.h"
#include "Prompts.h"
#include "QtPrompts.h"
#include "SingleInstance.h"
#include "StringTable.h"
#include "ThreadSet.h"
#include "UiText.h"

namespace qx {

namespace {

// Saves the dialog as it shows itself, after its layout has settled, under a strip with its window
// title (a bare X server draws no frames, and the title is one of the texts to review).
void savePicture(QWidget* widget, const QString& file) {
    widget->show();
    widget->adjustSize();
    QApplication::processEvents();
    QPixmap content = widget->grab();
    QFont font = widget->font();
    font.setBold(true);
    int strip = QFontMetrics(font).height() + 10;
    QImage picture(content.width(), content.height() + strip, QImage::Format_RGB32);
    picture.fill(QColor(0x2b, 0x4a, 0x6f));
    QPainter painter(&picture);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(8, 0, content.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft,
                     widget->windowTitle());
    painter.drawPixmap(0, strip, content);
    painter.end();
    picture.save(file, "PNG");
    widget->hide();
}

}  // namespace

struct GuiSession::Impl {
    std::unique_ptr<QApplication> app;
    QtPrompts* prompts = nullptr;
};

GuiSession::GuiSession(int& argc, char** argv) : m(std::make_unique<Impl>()) {
    m->app = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("qxmover");
}

GuiSession::~GuiSession() = default;

std::unique_ptr<Prompts> GuiSession::makePrompts(bool unattended) {
    auto prompts = std::make_unique<QtPrompts>(unattended);
    m->prompts = prompts.get();
    return prompts;
}

int GuiSession::run(Services& s, SingleInstance* instance, ClockMember self,
                    const std::filesystem::path& screenshots) {
    QApplication::setWindowIcon(moverIcon());
    auto dialog = std::make_unique<CMoverDlg>(s, dialogJobs());
    bool tray = QSystemTrayIcon::isSystemTrayAvailable() && screenshots.empty();
    dialog->setTrayAvailable(tray);
    if (instance)
        dialog->setShowRequestPoll([instance] { return instance->takeShowRequest(); });

    QSystemTrayIcon icon(moverIcon());
    QMenu menu;
    if (tray) {
        icon.setToolTip(uiText(s.strings, kStrTrayTip));
        QObject::connect(menu.addAction(uiText(s.strings, kTxtShowSettings)), &QAction::triggered,
                         dialog.get(), [&] { dialog->showFromTray(); });
        QObject::connect(menu.addAction(uiText(s.strings, kStrAbout)), &QAction::triggered, dialog.get(),
                         [&] { dialog->openSubDialog(ctl::kAbout); });
        icon.setContextMenu(&menu);
        QObject::connect(&icon, &QSystemTrayIcon::activated, dialog.get(),
                         [&](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::DoubleClick)
                                 dialog->showFromTray();
                         });
        icon.show();
    }
    dialog->show();

    // Five seconds after start the dialog goes to the tray; without a tray it stays in the task bar.
    dialog->hideAfterStart(std::chrono::seconds(5));
    // A stop (SIGTERM, SIGINT) ends the session.
    std::stop_token stop = s.threads ? s.threads->token() : std::stop_token();
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, m->app.get(), [stop] {
        // exit(), not quit(): quit() first asks every window to close, and the dialog refuses (closing
        // only minimises it), which would cancel the quit and leave the process running.
        if (stop.stop_requested())
            QCoreApplication::exit(0);
    });
    stopWatch.start(200);

    if (!screenshots.empty()) {
        QTimer::singleShot(300, dialog.get(), [&] {
            QDir().mkpath(nativeText(screenshots));
            auto file = [&](const std::string& name) { return nativeText(screenshots / name); };
            savePicture(dialog.get(), file("main.png"));
            for (auto& [name, sub] : dialog->subDialogs()) {
                savePicture(sub, file(name + ".png"));
                delete sub;
            }
            QCoreApplication::exit(0);
        });
    }

    {
        ClockMember member = std::move(self);
        QApplication::exec();
    }
    if (m->prompts)
        m->prompts->shutdown();
    icon.hide();
    dialog.reset();
    if (s.threads)
        s.threads->stop();
    return 0;
}

}  // namespace qx
