#include "UiText.h"

#include <QFile>
#include <atomic>

namespace qx {

namespace {

// Written when the settings are loaded, read by every conversion, also from the threads that hand a
// message box to the window.
std::atomic<CodePage> g_codePage{kDefaultCodePage};

}  // namespace

void setUiCodePage(CodePage codePage) {
    g_codePage = codePage;
}

CodePage uiCodePage() {
    return g_codePage.load();
}

QString qs(std::string_view text) {
    return QString::fromStdString(toUtf8(text, uiCodePage()));
}

std::string ss(const QString& text) {
    return fromUtf8(text.toStdString(), uiCodePage());
}

QString displayText(std::string_view text) {
    return QString::fromStdString(displayUtf8(text, uiCodePage()));
}

QString nativeText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

std::filesystem::path nativePath(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

}  // namespace qx
