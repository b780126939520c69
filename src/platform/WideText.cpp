#include <atomic>

#include "WideText.h"

namespace qx {

namespace {
std::atomic<unsigned> g_codePage{1252};
}  // namespace

void setAnsiCodePage(unsigned codePage) {
    g_codePage = codePage;
}

unsigned ansiCodePage() {
    return g_codePage;
}

}  // namespace qx
