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
// "TYPE NAME" of every symbol the library exports, demangled, without the version node.
std::vector<std::string> exportedSymbols() {
    qx::test::CommandResult nm =
        qx::test::runCommand("nm -D --defined-only -C " + qx::test::shellQuote(QX_CLASS_LIBRARY));
    EXPECT_EQ(nm.exitCode, 0) << nm.output;
    std::vector<std::string> symbols;
    std::istringstream lines(nm.output);
    for (std::string line; std::getline(lines, line);) {
        // "ADDRESS TYPE NAME@@NODE"; the node itself is an absolute symbol ("A").
        std::size_t type = line.find(' ');
        if (type == std::string::npos || line.compare(type + 1, 2, "A ") == 0)
            continue;
        symbols.push_back(line.substr(type + 1, line.find("@@") - type - 1));
    }
    return symbols;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Only the public classes and the functions of the public headers leave the library: no private
// member, no standard-library instantiation, no unique symbol (which would keep dlclose from unloading
// it), nothing of the table engine.
TEST(LibraryInterfaceTest, ExportsOnlyThePublicClassesAndFunctions) {
    const std::vector<std::string> classes = {"CCommPort",    "CDatabase",    "CDosFile",    "CLogFile",
                                              "CNamedPipe",   "CPipeService", "CResStrings", "CFileStat",
                                              "CCommandLine", "CDBRelation",  "CDde",        "CLauncher",
                                              "CModem",       "CProcess",     "CUserProfile"};
    const std::vector<std::string> functions = {"TrimBlanks(char*)",         "qx::setErrorBoxHandler(",
                                                "qx::showErrorBox(",         "qx::dbf::lockSettings()",
                                                "qx::dbf::setLockSettings(", "qx::dbf::tableCodePage()",
                                                "qx::dbf::setTableCodePage("};
    const std::vector<std::string> privateMembers = {
        "::ConnectWithin(", "::ServiceThread(", "::GetFieldsAddrs(", "::FlushStep(",
        "::FieldIndex(",    "::Changed(",       "::OpenFile("};
    std::vector<std::string> symbols = exportedSymbols();
    EXPECT_THAT(symbols, Contains("T CDatabase::Open(char const*)"));
    EXPECT_THAT(symbols, Contains("T CNamedPipe::FailureReason() const"));
    std::vector<std::string> unexpected;
    for (const std::string& symbol : symbols) {
        std::string name = symbol.substr(2);
        bool known = false;
        for (const std::string& c : classes)
            known = known || startsWith(name, c + "::") || name == "typeinfo for " + c ||
                    name == "typeinfo name for " + c || name == "vtable for " + c;
        for (const std::string& f : functions)
            known = known || startsWith(name, f);
        for (const std::string& member : privateMembers)
            known = known && name.find(member) == std::string::npos;
        if (!known || symbol[0] == 'u')
            unexpected.push_back(symbol);
    }
    EXPECT_THAT(unexpected, IsEmpty());
}

// The soname changes exactly when the CMake package's version allows a break: the same minor version
// while 0.x, the same major version from 1.0 on.
TEST(LibraryInterfaceTest, SonameFollowsThePackageVersionPolicy) {
    std::string file = QX_CLASS_LIBRARY;
    std::string version = file.substr(file.rfind(".so.") + 4);  // "0.1.0"
    std::size_t firstDot = version.find('.');
    std::string major = version.substr(0, firstDot);
    std::string minor = version.substr(firstDot + 1, version.find('.', firstDot + 1) - firstDot - 1);
    std::string expected = "libqxclass.so." + (major == "0" ? major + "." + minor : major);
    qx::test::CommandResult readelf =
        qx::test::runCommand("objdump -p " + qx::test::shellQuote(QX_CLASS_LIBRARY));
    ASSERT_EQ(readelf.exitCode, 0) << readelf.output;
    EXPECT_THAT(readelf.output, HasSubstr("SONAME               " + expected + "\n"));
}

TEST(LibraryInterfaceTest, TheTableClassHoldsOnlyAPointerToItsState) {
    // The table of virtual operations and one pointer: the engine's state can grow without changing
    // the size that programs built against the library allocate.
    EXPECT_EQ(sizeof(CDatabase), 2 * sizeof(void*));
}

}  // namespace
