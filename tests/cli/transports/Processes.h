#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Child processes for the end-to-end runs: tesmira-bench serving until told to stop, and
// tesmira-cli runs in the background, each with its own environment, working folder and
// output file. Every wait has a deadline; a child that overruns is killed.
namespace e2e {

using Clock = std::chrono::steady_clock;

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Kill(); }

  // Runs argv with env added to this process's environment, in cwd, stdout into outPipe (when
  // asked) or outFile, stderr into errFile.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& cwd, const std::string& outFile, const std::string& errFile,
             bool pipeOut = false) {
    int out[2] = {-1, -1};
    if (pipeOut && pipe(out) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
      for (const auto& kv : env) putenv(const_cast<char*>(kv.c_str()));
      const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) dup2(err, 2);
      if (pipeOut) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
      } else {
        const int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, 1);
      }
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    if (pipeOut) {
      close(out[1]);
      out_ = out[0];
    }
    return true;
  }

  // Lines of the piped stdout until one starts with prefix (returned whole), or "".
  std::string WaitForLine(const std::string& prefix, std::chrono::milliseconds limit,
                          std::string* all) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end && out_ >= 0) {
      size_t eol;
      while ((eol = pending_.find('\n')) != std::string::npos) {
        const std::string line = pending_.substr(0, eol);
        pending_.erase(0, eol + 1);
        *all += line + "\n";
        if (line.rfind(prefix, 0) == 0) return line;
      }
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[1024];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      pending_.append(buffer, static_cast<size_t>(n));
    }
    return "";
  }

  // Waits for the exit until the deadline; -1 when it had to be killed.
  int Wait(Clock::time_point deadline) {
    while (pid_ > 0) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (Clock::now() >= deadline) {
        Kill();
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  // SIGTERM, a short grace, then SIGKILL.
  int Stop() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    return Wait(Clock::now() + std::chrono::seconds(3));
  }

  bool Running() const { return pid_ > 0; }
  void Signal(int sig) {
    if (pid_ > 0) kill(pid_, sig);
  }

 private:
  void Kill() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (out_ >= 0) close(out_);
    out_ = -1;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
};

}  // namespace e2e
