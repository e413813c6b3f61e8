#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "run_command.h"

extern char** environ;

std::string QuoteArgument(const std::string& path) {
  std::string quoted = "'";
  for (const char c : path) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

int RunCommandLine(const std::string& commandLine, std::string* error) {
  std::string shell = "/bin/sh", flag = "-c", command = commandLine;
  char* argv[] = {shell.data(), flag.data(), command.data(), nullptr};
  pid_t pid;
  if (const int failed = posix_spawn(&pid, shell.c_str(), nullptr, nullptr, argv, environ)) {
    *error = std::string("cannot start /bin/sh: ") + std::strerror(failed);
    return -1;
  }
  int status;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      *error = std::string("cannot wait for it: ") + std::strerror(errno);
      return -1;
    }
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  *error = "ended by signal " + std::to_string(WTERMSIG(status));
  return -1;
}
