#include "cli_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace q3d::test {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& words, const std::filesystem::path& scratch,
              std::chrono::seconds timeout) {
  const std::filesystem::path outPath = scratch / "cli-stdout.txt";
  const std::filesystem::path errPath = scratch / "cli-stderr.txt";
  std::vector<std::string> argvStrings = {Q3D_CLI_PATH};
  argvStrings.insert(argvStrings.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  CliRun run;
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return run;
  // A tool that hangs is stopped at the deadline and fails the test, naming its command.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    std::string command;
    for (const std::string& word : words) command += " " + word;
    ADD_FAILURE() << "quorvan3d-cli" << command << " did not finish within " << timeout.count()
                  << " s and was stopped";
    return run;
  }
  if (done != pid) return run;
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.out = ReadText(outPath);
  run.err = ReadText(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

int LineCount(const std::string& text) {
  int lines = 0;
  for (const char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  return lines;
}

}  // namespace q3d::test
