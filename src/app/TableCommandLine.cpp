#include "TableCommandLine.h"

#include <CLI/CLI.hpp>

namespace qx {

CLI::App* addTableCommand(CLI::App& app, TableCommandOptions& options) {
    auto* dbf = app.add_subcommand("dbf", "print the fields and records of a dBASE table");
    dbf->add_option("file", options.file, "the table")->required();
    dbf->add_flag("--json", options.json, "one JSON object per line: the fields, then one per record");
    return dbf;
}

}  // namespace qx
