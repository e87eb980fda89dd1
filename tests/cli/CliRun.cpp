// Starts the built quillbank-cli, sh or python3 as child processes and catches their outputs in files.

#include "tests/cli/CliRun.h"

#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillbank::testing {

namespace {

int runs = 0;

/// Runs `arguments` with the three standard files given; the exit code, or
/// -1 when it had to be killed after a minute.
int Spawn(std::vector<std::string> arguments, const std::string& in, const std::string& out,
          const std::string& err)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    const bool ended =
        WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(60));
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TCliResult RunCli(const std::vector<std::string>& arguments, const std::string& workDir,
                  const std::string& input)
{
    const std::string stem = workDir + "/cli-run" + std::to_string(++runs);
    std::ofstream(stem + ".in", std::ios::binary) << input;
    std::vector<std::string> command = {QUILLBANK_BINARY_DIR "/bin/quillbank-cli"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    TCliResult result;
    result.ExitCode = Spawn(command, stem + ".in", stem + ".out", stem + ".err");
    result.Out = ReadFileForTest(stem + ".out");
    result.Err = ReadFileForTest(stem + ".err");
    return result;
}

TCliResult RunShell(const std::string& script, const std::string& workDir, const std::string& input)
{
    const std::string stem = workDir + "/shell-run" + std::to_string(++runs);
    std::ofstream(stem + ".in", std::ios::binary) << input;
    // The folder and PATH go in as arguments, so the script is run as it is written.
    const char* systemPath = std::getenv("PATH");
    const std::string path =
        std::string(QUILLBANK_BINARY_DIR "/bin:") + (systemPath ? systemPath : "/usr/bin:/bin");
    const std::vector<std::string> command = {
        "/bin/sh", "-c", "cd \"$1\" && PATH=\"$2\" && eval \"$3\"", "sh", workDir, path, script};
    TCliResult result;
    result.ExitCode = Spawn(command, stem + ".in", stem + ".out", stem + ".err");
    result.Out = ReadFileForTest(stem + ".out");
    result.Err = ReadFileForTest(stem + ".err");
    return result;
}

std::string RunPython(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workDir, const std::string& input)
{
    const std::string stem = workDir + "/python-run" + std::to_string(++runs);
    std::ofstream(stem + ".in", std::ios::binary) << input;
    std::vector<std::string> command = {"python3", "-c", program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const int code = Spawn(command, stem + ".in", stem + ".out", stem + ".err");
    const std::string out = ReadFileForTest(stem + ".out");
    if (code != 0)
        return "python3 failed: " + ReadFileForTest(stem + ".err");
    return out.ends_with('\n') ? out.substr(0, out.size() - 1) : out;
}

std::string JsonQuery(const std::string& json, const std::string& expression, const std::string& workDir)
{
    return RunPython("import json, sys\n"
                     "try:\n"
                     "    d = json.load(sys.stdin)\n"
                     "except ValueError as error:\n"
                     "    print('invalid JSON:', error)\n"
                     "    sys.exit(0)\n"
                     "print(eval(sys.argv[1]))\n",
                     {expression}, workDir, json);
}

} // namespace quillbank::testing
