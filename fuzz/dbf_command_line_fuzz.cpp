// Feeds arbitrary words to the command-line parser of `qxmover dbf`: whatever the words, parsing ends in
// a result or in CLI11's own parse error (which main turns into a usage message), never in another
// exception or a crash; a parse that succeeds names one table, as the command's help promises.
//
// Input: the words after the program's name, each ended by a NUL (a last word without one counts).
#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TableCommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"qxmover"};
    std::string word;
    for (std::size_t i = 0; i < size && words.size() < 32; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (!word.empty() && words.size() < 32)
        words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    CLI::App app{"qxmover"};
    qx::TableCommandOptions options;
    CLI::App* dbf = qx::addTableCommand(app, options);
    try {
        app.parse(static_cast<int>(words.size()), argv.data());
    } catch (const CLI::Error&) {
        return 0;
    }
    if (*dbf && dbf->count("file") != 1) {
        std::fprintf(stderr, "dbf_command_line_fuzz: parsed without exactly one table\n");
        std::abort();
    }
    (void)options.format();
    return 0;
}
