#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern char **environ;

namespace testing_support {
namespace {

constexpr const char *kEmulator = TEST_EMULATOR;

[[noreturn]] void die(const char *what) {
  perror(what);
  _exit(127);
}

void read_both(int out_fd, int err_fd, Outcome &run) {
  struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string *dest[2] = {&run.out, &run.err};
  int open = 0;
  for (auto &p : fds) open += p.fd >= 0;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) die("poll");
    for (int i = 0; i < 2; i++) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[65536];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        dest[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        open--;
      }
    }
  }
}

Outcome start(const std::string &program, std::vector<std::string> args, bool with_argv, const Options &opt) {
  std::vector<std::string> words;
  if (*kEmulator) words.push_back(kEmulator);
  words.push_back(program);
  for (auto &a : args) words.push_back(std::move(a));
  std::vector<char *> argv;
  for (auto &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  char *const *exec_argv = with_argv ? argv.data() : &argv.back();

  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) < 0 || pipe2(err, O_CLOEXEC) < 0) die("pipe2");
  if (opt.out == Stdout::kBrokenPipe) {
    close(out[0]);
    out[0] = -1;
  }
  pid_t pid = fork();
  if (pid < 0) die("fork");
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) < 0) die("chdir");
    switch (opt.out) {
      case Stdout::kPipe:
      case Stdout::kBrokenPipe:
        if (dup2(out[1], 1) < 0) die("dup2");
        break;
      case Stdout::kDevFull: {
        int fd = open("/dev/full", O_WRONLY);
        if (fd < 0 || dup2(fd, 1) < 0) die("/dev/full");
        break;
      }
      case Stdout::kClosed:
        close(1);
        break;
    }
    if (dup2(err[1], 2) < 0) die("dup2");
    execve(words[0].c_str(), exec_argv, environ);
    die("execve");
  }
  close(out[1]);
  close(err[1]);
  if (opt.out != Stdout::kPipe && out[0] >= 0) {
    close(out[0]);
    out[0] = -1;
  }
  Outcome run;
  read_both(out[0], err[0], run);
  int ws;
  if (waitpid(pid, &ws, 0) < 0) die("waitpid");
  run.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
  return run;
}

}  // namespace

Outcome run_program(const std::string &program, const std::vector<std::string> &args, const Options &opt) {
  return start(program, args, true, opt);
}

Outcome run_program_without_arguments(const std::string &program) { return start(program, {}, false, {}); }

bool can_start_without_arguments() { return *kEmulator == '\0'; }

}  // namespace testing_support
