#include "RunBinary.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string_view>

#include "Sandbox.h"
#include "WaitUntil.h"

extern char** environ;

namespace qx::test {

namespace {

pid_t spawn(const std::filesystem::path& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env, const std::filesystem::path& out,
            const std::filesystem::path& err) {
    std::vector<std::string> argStore{program.string()};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // The given variables replace inherited ones of the same name (the first of two would win).
    auto overridden = [&env](std::string_view entry) {
        std::string_view name = entry.substr(0, entry.find('='));
        for (const auto& e : env)
            if (std::string_view(e).substr(0, e.find('=')) == name)
                return true;
        return false;
    };
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e)
        if (!overridden(*e))
            envStore.emplace_back(*e);
    envStore.insert(envStore.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (auto& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace

int waitChild(int pid, std::chrono::milliseconds limit) {
    int status = 0;
    pid_t ended = 0;
    if (!waitUntil([&] { return (ended = waitpid(pid, &status, WNOHANG)) != 0; }, limit,
                   std::chrono::milliseconds(5))) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    // Not our child, or already reaped: no exit code to give.
    if (ended < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

BinaryResult runBinary(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env, std::chrono::seconds limit) {
    Sandbox scratch;
    BinaryResult result;
    pid_t pid = spawn(program, args, env, scratch.path("out"), scratch.path("err"));
    if (pid < 0)
        return result;
    result.exitCode = waitChild(pid, limit);
    result.out = scratch.read("out");
    result.err = scratch.read("err");
    return result;
}

int spawnBinary(const std::filesystem::path& program, const std::vector<std::string>& args,
                const std::filesystem::path& outFile, const std::vector<std::string>& env) {
    return spawn(program, args, env, outFile, outFile.string() + ".err");
}

}  // namespace qx::test
