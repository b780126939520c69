#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "qxclass/CDatabase.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Programs built against libqxclass must keep working when the table engine changes: the library
// exports what they call and nothing of the engine's inner working.
std::vector<std::string> exportedSymbols() {
    qx::test::CommandResult nm =
        qx::test::runCommand("nm -D --defined-only -C " + qx::test::shellQuote(QX_CLASS_LIBRARY));
    EXPECT_EQ(nm.exitCode, 0) << nm.output;
    std::vector<std::string> symbols;
    std::istringstream lines(nm.output);
    for (std::string line; std::getline(lines, line);) {
        // "ADDRESS TYPE NAME"; only code and data count, not the version nodes.
        std::size_t name = line.find(' ', line.find(' ') + 1);
        if (name != std::string::npos)
            symbols.push_back(line.substr(name + 1));
    }
    return symbols;
}

TEST(LibraryInterfaceTest, ExportsTheTableClassButNoneOfTheEngine) {
    std::vector<std::string> symbols = exportedSymbols();
    EXPECT_THAT(symbols, Contains(HasSubstr("CDatabase::Open(char const*)")));
    EXPECT_THAT(symbols, Contains(HasSubstr("TrimBlanks(char*)")));
    EXPECT_THAT(symbols, Contains(HasSubstr("qx::dbf::setLockSettings")));
    std::vector<std::string> engine;
    for (const std::string& symbol : symbols)
        if ((symbol.find("qx::dbf::") != std::string::npos &&
             symbol.find("LockSettings") == std::string::npos &&
             symbol.find("lockSettings") == std::string::npos &&
             symbol.find("ableCodePage") == std::string::npos) ||
            symbol.find("qx::detail::") != std::string::npos)
            engine.push_back(symbol);
    EXPECT_THAT(engine, IsEmpty());
}

TEST(LibraryInterfaceTest, TheTableClassHoldsOnlyAPointerToItsState) {
    // The table of virtual operations and one pointer: the engine's state can grow without changing
    // the size that programs built against the library allocate.
    EXPECT_EQ(sizeof(CDatabase), 2 * sizeof(void*));
}

}  // namespace
