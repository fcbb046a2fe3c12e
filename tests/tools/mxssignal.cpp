// mxssignal: sends a signal to a running MaxSAT solver and judges what the
// run prints on its way out.
//
//   mxssignal --solver PATH [--args "ARGS"] --after REGEX
//             [--signal TERM|INT|HUP|QUIT|ALRM|NONE]
//             [--expect kept|single|whole|stalled] [--within SEC]
//             [--tries N] [--limit SEC] FILE
//
// The solver runs on FILE; as soon as a line of its standard output matches
// the POSIX extended REGEX, it gets the signal. Then:
//   kept   (default) the run ends with status 1, one status line
//          "s UNKNOWN", a cost line "c o X LB" (or "o X LB") and a "v "
//          model that satisfies every hard clause of FILE and falsifies
//          exactly the weight X (on WBO: violates soft constraints of
//          weight X, see model_fault); "o Top" fails (the line waited for comes
//          after a cost was found).
//   single the run ends with status 1 and one set of result lines, whole:
//          one "s " line, not "s UNKNOWN", a model line that lists the
//          variables 1, 2, ... in order up to the count the file's "p "
//          line declares, then the "c CPU Time: " line and after it the
//          handler's line.
//   whole  every line the run printed before the handler's line comes out
//          whole and once: that text is the start of what the same run
//          prints without a signal, and it ends a line (a line that the
//          signal cut is left out whole); the handler's line ("c Kestrane
//          received ...") is printed once, at the start of a line. The
//          solver's standard output is a small pipe, left unread from the
//          awaited line until the signal is sent, so that the signal finds
//          the run in the middle of writing.
//   stalled nobody reads the solver's standard output (a small pipe) from
//          the awaited line on: the signal (NONE: none; the run's own -T
//          ends it) must still end the run, with status 1, within SEC
//          seconds of that line (--within, default 5). What the pipe then
//          holds is judged as in whole: whole lines that start the uncut
//          run's output, and at most one handler's line.
// A run that ends without the signal taking effect (it had already printed
// its answer) tested nothing: it is tried again, up to N times (default 3);
// when every try ended so, the case is skipped. No time is assumed: the
// signal goes only after the awaited line, and the run may take as long as
// it needs up to the limit (default 120 s, then it fails).
// Exit status: 0 correct, 1 wrong, 2 usage or unreadable file, 77 skipped.
#include <fcntl.h>
#include <poll.h>
#include <regex.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/lib/maxsat_check.hpp"

using namespace mxs;

namespace {

constexpr int kSkip = 77;

struct Run {
  bool started = false;
  bool signalled = false;  // the awaited line came and the signal was sent
  double ended_after = -1; // stalled: seconds from the line to the end
  bool killed = false;     // the limit ran out
  int status = -1;         // exit status, -1 when ended by a signal
  std::string out;
};

constexpr int kNoSignal = -1;

// Waits up to seconds for pid to end; true when it did (its wait status in
// ws).
bool wait_for_end(pid_t pid, double seconds, int &ws) {
  auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &ws, WNOHANG) == pid)
      return true;
    usleep(20000);
  }
  return false;
}

// sig 0: no signal, the run goes to its end. stall > 0: from the awaited
// line on nothing is read; the run has stall seconds to end.
Run run_and_signal(const std::vector<std::string> &argv, const regex_t &after,
                   int sig, double limit, bool small_pipe, double stall = 0) {
  Run r;
  int p[2];
  if (pipe(p) != 0)
    return r;
  if (small_pipe)
    fcntl(p[1], F_SETPIPE_SZ, 4096);
  pid_t pid = fork();
  if (pid < 0)
    return r;
  if (pid == 0) {
    dup2(p[1], 1);
    close(p[0]);
    close(p[1]);
    std::vector<char *> args;
    for (const std::string &a : argv)
      args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(p[1]);
  r.started = true;
  auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::milliseconds(static_cast<long long>(limit * 1000));
  std::size_t scanned = 0; // lines before this offset were matched already
  char buf[65536];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      r.killed = true;
      break;
    }
    pollfd pf{p[0], POLLIN, 0};
    if (poll(&pf, 1, static_cast<int>(left)) <= 0)
      continue;
    ssize_t n = read(p[0], buf, sizeof buf);
    if (n <= 0)
      break;
    r.out.append(buf, static_cast<std::size_t>(n));
    while (!r.signalled) {
      std::size_t eol = r.out.find('\n', scanned);
      if (eol == std::string::npos)
        break;
      std::string line = r.out.substr(scanned, eol - scanned);
      scanned = eol + 1;
      if (sig != 0 && regexec(&after, line.c_str(), 0, nullptr, 0) == 0) {
        if (sig != kNoSignal)
          kill(pid, sig);
        r.signalled = true;
      }
    }
    if (r.signalled && stall > 0)
      break;
  }
  int ws = 0;
  bool ended = false;
  if (r.signalled && stall > 0) {
    auto from = std::chrono::steady_clock::now();
    ended = wait_for_end(pid, stall, ws);
    if (ended)
      r.ended_after =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - from)
              .count();
    else
      kill(pid, SIGKILL);
    ssize_t n;
    while ((n = read(p[0], buf, sizeof buf)) > 0)
      r.out.append(buf, static_cast<std::size_t>(n));
  }
  close(p[0]);
  if (!ended)
    waitpid(pid, &ws, 0);
  if (WIFEXITED(ws))
    r.status = WEXITSTATUS(ws);
  return r;
}

// The lines of out that start with prefix.
std::vector<std::string> lines_starting(const std::string &out,
                                        const std::string &prefix) {
  std::vector<std::string> found;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, prefix.size(), prefix) == 0)
      found.push_back(line);
  return found;
}

// Whether the run printed a final answer: the signal came too late.
bool answered(const std::string &out) {
  for (const std::string &s : lines_starting(out, "s "))
    if (s != "s UNKNOWN")
      return true;
  return false;
}

// The kept model: one "s UNKNOWN", "c o X LB" and a model of cost X.
std::string judge_kept(const Instance &inst, const Run &r) {
  std::vector<std::string> status = lines_starting(r.out, "s ");
  if (status.size() != 1 || status[0] != "s UNKNOWN")
    return "expected one line \"s UNKNOWN\", got " +
           std::to_string(status.size()) + " status lines";
  long long x = 0;
  bool have_cost = false;
  for (const char *prefix : {"c o ", "o "})
    for (const std::string &line : lines_starting(r.out, prefix)) {
      std::istringstream t(line.substr(std::strlen(prefix)));
      std::string cost, lb, extra;
      if (!(t >> cost >> lb) || lb != "LB" || (t >> extra))
        continue;
      if (have_cost)
        return "two cost lines ending in LB";
      x = std::strtoll(cost.c_str(), nullptr, 10);
      have_cost = true;
    }
  if (!have_cost)
    return "no cost line \"c o X LB\" (\"o Top\": no model kept)";
  long long cost = 0;
  std::string fault = model_fault(inst, parse_answer(r.out), cost);
  if (!fault.empty())
    return fault;
  if (cost != x)
    return "the model falsifies weight " + std::to_string(cost) +
           ", the cost line says " + std::to_string(x);
  return "";
}

// The count of variables that the "p " line of file declares (-1: none).
long long declared_vars(const std::string &file) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, 2, "p ") != 0)
      continue;
    std::istringstream t(line.substr(2));
    std::string format;
    long long n = -1;
    t >> format >> n;
    return n;
  }
  return -1;
}

// One set of result lines, whole: one status line with an answer, the
// model line listing the variables 1..declared in order, then the CPU time
// line and the handler's line.
std::string judge_single(const Run &r, long long declared) {
  std::vector<std::string> status = lines_starting(r.out, "s ");
  if (status.size() != 1)
    return std::to_string(status.size()) + " status lines";
  if (status[0] == "s UNKNOWN")
    return "\"s UNKNOWN\" after the result lines began";
  std::vector<std::string> v = lines_starting(r.out, "v ");
  if (v.size() != 1)
    return std::to_string(v.size()) + " model lines";
  std::istringstream items(v[0].substr(2));
  long long expected = 1;
  for (std::string item; items >> item; ++expected) {
    long long lit = std::strtoll(item.c_str(), nullptr, 10);
    if (std::to_string(lit) != item || std::llabs(lit) != expected)
      return "model item '" + item + "' where variable " +
             std::to_string(expected) + " belongs";
  }
  if (declared >= 0 && expected - 1 != declared)
    return "the model line lists " + std::to_string(expected - 1) + " of " +
           std::to_string(declared) + " variables";
  std::size_t after_v = r.out.find("\nv ") + 1;
  after_v = r.out.find('\n', after_v) + 1;
  if (r.out.compare(after_v, 12, "c CPU Time: ") != 0)
    return "no \"c CPU Time: \" line right after the model line";
  std::size_t handler = r.out.find("\nc Kestrane received");
  if (handler == std::string::npos || handler < after_v)
    return "no handler's line after the result lines";
  return "";
}

// Before the handler's line, whole lines that start the uncut run's output;
// without handler_line, a run whose ending could not write its line may
// have printed none.
std::string judge_whole(const std::string &uncut, const Run &r,
                        bool handler_line = true) {
  const std::string head = "c Kestrane received ";
  std::size_t h = r.out.rfind(head, 0) == 0 ? 0 : r.out.find("\n" + head);
  if (h == std::string::npos && handler_line)
    return "the handler's line does not start a line";
  if (h == std::string::npos) {
    h = r.out.size();
    if (h > 0 && r.out.back() != '\n')
      return "the output ends inside a line";
  } else if (h > 0) {
    ++h;
  }
  if (r.out.find("Kestrane received", h + head.size()) != std::string::npos)
    return "two handler's lines";
  const std::string before = r.out.substr(0, h);
  if (uncut.compare(0, before.size(), before) == 0)
    return "";
  std::size_t at = 0;
  while (at < before.size() && at < uncut.size() && before[at] == uncut[at])
    ++at;
  std::size_t line = at == 0 ? std::string::npos : before.rfind('\n', at - 1);
  line = line == std::string::npos ? 0 : line + 1;
  return "the output differs from the uncut run's at byte " +
         std::to_string(at) + ", in the line '" +
         before.substr(line, before.find('\n', line) - line) + "'";
}

int signal_number(const std::string &name) {
  if (name == "TERM")
    return SIGTERM;
  if (name == "INT")
    return SIGINT;
  if (name == "HUP")
    return SIGHUP;
  if (name == "QUIT")
    return SIGQUIT;
  if (name == "ALRM")
    return SIGALRM;
  if (name == "NONE")
    return kNoSignal;
  return 0;
}

int usage() {
  std::cerr << "usage: mxssignal --solver PATH [--args ARGS] --after REGEX "
               "[--signal TERM|INT|HUP|QUIT|ALRM|NONE] "
               "[--expect kept|single|whole|stalled] [--within SEC] "
               "[--tries N] [--limit SEC] FILE\n";
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  std::string solver, args, after, file, expect = "kept";
  int sig = SIGTERM, tries = 3;
  double limit = 120, within = 5;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.compare(0, 2, "--") != 0) {
      file = a;
      continue;
    }
    if (i + 1 >= argc)
      return usage();
    std::string v = argv[++i];
    if (a == "--solver")
      solver = v;
    else if (a == "--args")
      args = v;
    else if (a == "--after")
      after = v;
    else if (a == "--signal")
      sig = signal_number(v);
    else if (a == "--expect")
      expect = v;
    else if (a == "--tries")
      tries = std::atoi(v.c_str());
    else if (a == "--limit")
      limit = std::atof(v.c_str());
    else if (a == "--within")
      within = std::atof(v.c_str());
    else
      return usage();
  }
  const bool stalled = expect == "stalled";
  if (solver.empty() || after.empty() || file.empty() || sig == 0 ||
      (sig == kNoSignal && !stalled) ||
      (expect != "kept" && expect != "single" && expect != "whole" && !stalled))
    return usage();
  regex_t re;
  if (regcomp(&re, after.c_str(), REG_EXTENDED | REG_NOSUB) != 0) {
    std::cerr << "mxssignal: bad pattern '" << after << "'\n";
    return 2;
  }
  Instance inst;
  std::string err;
  if (expect == "kept" && !read_instance(file, inst, err)) {
    std::cerr << "mxssignal: " << err << "\n";
    return 2;
  }
  std::vector<std::string> cmd = {solver};
  std::istringstream split(args);
  for (std::string t; split >> t;)
    cmd.push_back(t);
  cmd.push_back(file);
  std::string what = solver + " " + args + " " + file;
  const bool whole = expect == "whole" || stalled;
  std::string uncut;
  if (whole) {
    Run plain = run_and_signal(cmd, re, 0, limit, false);
    if (plain.status != 0) {
      std::cout << "FAIL " << what << ": the run without a signal ended with "
                << "status " << plain.status << "\n";
      return 1;
    }
    uncut = plain.out;
  }
  for (int t = 1; t <= tries; ++t) {
    Run r = run_and_signal(cmd, re, sig, limit, whole, stalled ? within : 0);
    if (!r.started) {
      std::cout << "FAIL " << what << ": could not start\n";
      return 1;
    }
    if (stalled && r.signalled && r.ended_after < 0) {
      std::cout << "FAIL " << what << ": still running " << within
                << " s after the awaited line with nobody reading\n";
      return 1;
    }
    if (r.killed) {
      std::cout << "FAIL " << what << ": still running after " << limit << " s"
                << (r.signalled ? " and the signal" : "") << "\n";
      return 1;
    }
    // kept, whole: an answer means the result lines had begun; single: a
    // run that ended normally printed them all before the signal.
    if (!r.signalled ||
        (expect == "single" ? r.status == 0 : answered(r.out))) {
      std::cout << "try " << t << ": the run ended before the signal took "
                << "effect\n";
      continue;
    }
    std::string why;
    if (r.status != 1)
      why = "exit status " + std::to_string(r.status) + ", not 1";
    else if (expect == "single")
      why = judge_single(r, declared_vars(file));
    else if (whole)
      why = judge_whole(uncut, r, !stalled);
    else
      why = judge_kept(inst, r);
    regfree(&re);
    if (!why.empty()) {
      std::size_t tail = r.out.size() > 600 ? r.out.size() - 600 : 0;
      std::cout << "FAIL " << what << ": " << why << "\noutput tail:\n"
                << r.out.substr(tail) << "\n";
      return 1;
    }
    std::cout << "PASS " << what << "\n";
    return 0;
  }
  regfree(&re);
  std::cout << "SKIP " << what << ": every run ended before the signal\n";
  return kSkip;
}
