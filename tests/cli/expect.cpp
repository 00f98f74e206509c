// Runs a program and checks how it ended: exit code, what it printed, how long it took and how
// much memory it held at most. Exit 0 when every expectation holds, 1 with the reasons otherwise.
//
//   aph_expect [options] -- PROGRAM ARGS...
//     --exit N             the exit code expected (required)
//     --stderr TEXT        standard error contains TEXT (may be given more than once)
//     --stdout TEXT        standard output contains TEXT
//     --no-stdout TEXT     standard output does not contain TEXT
//     --stdin FILE         standard input from FILE (otherwise empty)
//     --stdout-to FILE     standard output into FILE (/dev/full, …) instead of a pipe
//     --slow-reader S      standard output is not read for the first S seconds
//     --timeout S          the program is killed and the check fails after S seconds (60)
//     --max-rss-mb N       peak resident memory at most N MiB
//     --symlink TARGET LINK, --copy SRC DST   made before the run
// Arguments after -- and the paths of --copy and --symlink take \xNN escapes, for names that
// are not UTF-8.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string unescaped(const std::string& text) {
  std::string out;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\\' && k + 3 < text.size() && text[k + 1] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(k + 2, 2), nullptr, 16));
      k += 3;
    } else {
      out += text[k];
    }
  }
  return out;
}

struct Expectations {
  int exitCode = -1;
  std::vector<std::string> stderrHas, stdoutHas, stdoutLacks;
  std::string stdinFile, stdoutTo;
  double slowReader = 0, timeout = 60;
  long maxRssMb = 0;
};

// What is kept of each stream for the checks: its beginning and its end.
constexpr std::size_t kKept = std::size_t{16} << 20;

struct Kept {
  std::string head, tail;
  void add(const char* data, std::size_t n) {
    const std::size_t toHead = std::min(n, kKept - std::min(kKept, head.size()));
    head.append(data, toHead);
    tail.append(data + toHead, n - toHead);
    if (tail.size() > 2 * kKept) tail.erase(0, tail.size() - kKept);
  }
  bool holds(const std::string& text) const {
    return head.find(text) != std::string::npos || tail.find(text) != std::string::npos ||
           (head + tail.substr(0, text.size())).find(text) != std::string::npos;
  }
};

int fail(const std::string& why) {
  std::fprintf(stderr, "aph_expect: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Expectations e;
  int k = 1;
  for (; k < argc; ++k) {
    const std::string option = argv[k];
    if (option == "--") break;
    if (k + 1 >= argc) return fail("option " + option + " needs a value");
    const std::string value = argv[++k];
    if (option == "--exit") {
      e.exitCode = std::stoi(value);
    } else if (option == "--stderr") {
      e.stderrHas.push_back(unescaped(value));
    } else if (option == "--stdout") {
      e.stdoutHas.push_back(unescaped(value));
    } else if (option == "--no-stdout") {
      e.stdoutLacks.push_back(unescaped(value));
    } else if (option == "--stdin") {
      e.stdinFile = value;
    } else if (option == "--stdout-to") {
      e.stdoutTo = value;
    } else if (option == "--slow-reader") {
      e.slowReader = std::stod(value);
    } else if (option == "--timeout") {
      e.timeout = std::stod(value);
    } else if (option == "--max-rss-mb") {
      e.maxRssMb = std::stol(value);
    } else if (option == "--symlink" || option == "--copy") {
      if (k + 1 >= argc) return fail(option + " needs two paths");
      const std::string target = unescaped(value), link = unescaped(argv[++k]);
      std::error_code error;
      std::filesystem::create_directories(std::filesystem::path(link).parent_path(), error);
      std::filesystem::remove(link, error);
      if (option == "--symlink")
        std::filesystem::create_symlink(target, link, error);
      else
        std::filesystem::copy_file(target, link, error);
      if (error) return fail(option + " " + link + ": " + error.message());
    } else {
      return fail("unknown option " + option);
    }
  }
  if (k + 1 >= argc || e.exitCode < 0)
    return fail("usage: aph_expect --exit N [...] -- PROGRAM ARGS");
  std::vector<std::string> command;
  for (++k; k < argc; ++k) command.push_back(unescaped(argv[k]));

  int out[2] = {-1, -1}, err[2];
  if ((e.stdoutTo.empty() && pipe(out) != 0) || pipe(err) != 0) return fail("no pipe");
  const pid_t child = fork();
  if (child < 0) return fail("cannot start the program");
  if (child == 0) {
    const int in = open(e.stdinFile.empty() ? "/dev/null" : e.stdinFile.c_str(), O_RDONLY);
    const int to = e.stdoutTo.empty() ? out[1] : open(e.stdoutTo.c_str(), O_WRONLY | O_TRUNC);
    if (in < 0 || to < 0) _exit(125);
    dup2(in, 0);
    dup2(to, 1);
    dup2(err[1], 2);
    std::vector<char*> args;
    for (std::string& a : command) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(126);
  }
  if (out[1] >= 0) close(out[1]);
  close(err[1]);

  Kept stdoutText, stderrText;
  const auto start = std::chrono::steady_clock::now();
  auto seconds = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  bool timedOut = false;
  std::vector<pollfd> streams = {{err[0], POLLIN, 0}};
  if (out[0] >= 0) streams.push_back({out[0], POLLIN, 0});
  char buffer[65536];
  while (!streams.empty()) {
    if (seconds() > e.timeout) {
      timedOut = true;
      kill(child, SIGKILL);
      break;
    }
    const bool holdStdout = seconds() < e.slowReader;
    std::vector<pollfd> watched;
    for (const pollfd& p : streams)
      if (!(holdStdout && p.fd == out[0])) watched.push_back(p);
    if (watched.empty()) {
      usleep(10000);
      continue;
    }
    if (poll(watched.data(), watched.size(), 100) <= 0) continue;
    for (const pollfd& p : watched) {
      if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(p.fd, buffer, sizeof buffer);
      Kept& text = p.fd == out[0] ? stdoutText : stderrText;
      if (n > 0) text.add(buffer, static_cast<std::size_t>(n));
      if (n <= 0) {
        close(p.fd);
        std::erase_if(streams, [&](const pollfd& q) { return q.fd == p.fd; });
      }
    }
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);

  std::vector<std::string> problems;
  if (timedOut) problems.push_back("still running after " + std::to_string(e.timeout) + " s");
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (code != e.exitCode)
    problems.push_back("exit code " + std::to_string(code) + ", expected " +
                       std::to_string(e.exitCode));
  for (const std::string& t : e.stderrHas)
    if (!stderrText.holds(t)) problems.push_back("stderr lacks: " + t);
  for (const std::string& t : e.stdoutHas)
    if (!stdoutText.holds(t)) problems.push_back("stdout lacks: " + t);
  for (const std::string& t : e.stdoutLacks)
    if (stdoutText.holds(t)) problems.push_back("stdout holds: " + t);
  const long rssMb = usage.ru_maxrss / 1024;
  if (e.maxRssMb > 0 && rssMb > e.maxRssMb)
    problems.push_back("peak memory " + std::to_string(rssMb) + " MiB, more than " +
                       std::to_string(e.maxRssMb));
  std::printf("exit %d after %.2f s, peak memory %ld MiB\n", code, seconds(), rssMb);
  if (problems.empty()) return 0;
  for (const std::string& p : problems) std::fprintf(stderr, "aph_expect: %s\n", p.c_str());
  std::fprintf(stderr, "--- stderr (start) ---\n%s\n--- stdout (start) ---\n%s\n",
               stderrText.head.substr(0, 2000).c_str(), stdoutText.head.substr(0, 2000).c_str());
  return 1;
}
