#pragma once

#include <string>

#include "TablePrint.h"

namespace CLI {
class App;
}

namespace qx {

// What the command line `dbf [--json] FILE` asked for.
struct TableCommandOptions {
    std::string file;
    bool json = false;

    TableFormat format() const { return json ? TableFormat::Json : TableFormat::Text; }
};

// Adds the `dbf` subcommand to `app`; parsing a command line fills `options`. A missing FILE, a second
// one or an unknown option fail the parse (CLI::ParseError). Returns the subcommand, which tells
// whether it was given.
CLI::App* addTableCommand(CLI::App& app, TableCommandOptions& options);

}  // namespace qx
