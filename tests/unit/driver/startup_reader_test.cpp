// The run's output against readers that are slow, that stop at a chosen
// byte, that never read (a pipe or a terminal), and against a launcher
// that leaves a signal blocked; standard output a pipe, a socket, a
// terminal's either side. Each case runs in a child process; the promises:
// a reader that takes a page at least every 2 seconds gets everything,
// whole and once; a reader that stops gets whole items and the run ends
// within 3 seconds of its last read; signals within 0.2 seconds of the
// first are that one, and a later one ends the run within 0.5 seconds
// whatever the reader does; a signal the run does not hold itself cuts
// nothing, and only the run's own alarm, kept whatever the launcher
// blocked, is a time-out.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

#include "driver/startup.hpp"
#include "driver_capture.hpp"
#include "model/clause_snapshot.hpp"
#include "model/mxutils.hpp"
#include "model/sigsafe_out.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "signal_fixture.hpp"

namespace {

constexpr long long kVars = 40000; // a model line of about 250 KB
const std::string kTerm =
    "c Kestrane received external signal SIGTERM. Terminating ...\n";
const std::string kAbort =
    "c Kestrane received abort signal. Terminating ...\n";

// The handler's line of sig, a signal that ends the run.
std::string handler_line(int sig) {
  return std::string("c Kestrane received external signal SIG") +
         sigabbrev_np(sig) + ". Terminating ...\n";
}

// The line of out that ends ". Terminating ...", when exactly one does;
// else "".
std::string only_handler_line(const std::string &out) {
  const std::string tail = ". Terminating ...\n";
  const std::size_t end = out.find(tail);
  if (end == std::string::npos || out.find(tail, end + 1) != std::string::npos)
    return "";
  const std::size_t start = out.rfind('\n', end) + 1; // npos + 1: 0
  return out.substr(start, end + tail.size() - start);
}

// The literal of variable v in the result model: every third one false.
long long literal(long long v) { return v % 3 ? v : -v; }

std::string result_block() {
  std::string s = "o 3\ns OPTIMUM FOUND\nv ";
  for (long long v = 1; v <= kVars; ++v)
    s += std::to_string(literal(v)) + " ";
  return s + "\nc CPU Time: 0.5\n";
}

// Where a model line's items differ from "v l1 l2 ... " (literal(v), or
// with kept -v but for variable 1), or what else is wrong with the line
// that starts at text[at]; "" when it is whole or, unended, stops right
// after a whole item (a number cut short differs from the one due).
std::string model_line_fault(const std::string &text, std::size_t at,
                             bool kept) {
  const std::size_t end = text.find('\n', at);
  const std::string line = text.substr(at, end - at);
  if (line.compare(0, 2, "v ") != 0)
    return "no model line";
  std::istringstream items(line.substr(2));
  long long v = 1;
  for (std::string item; items >> item; ++v) {
    const long long want = kept ? (v == 1 ? 1 : -v) : literal(v);
    if (item != std::to_string(want))
      return "item '" + item + "' where " + std::to_string(want) + " belongs";
  }
  if (end != std::string::npos && v - 1 != kVars)
    return "an ended line of " + std::to_string(v - 1) + " items";
  return "";
}

// The ending's lines after "c begin": the handler's line, the kept model
// and its cost, the CPU time; "" when whole (with cut: when it stops right
// after a whole item of the model line), else what is wrong.
std::string ending_fault(const std::string &out, const std::string &handler,
                         bool cut = false) {
  const std::string head = "c begin\n" + handler + "c o 3 LB\ns UNKNOWN\n";
  if (out.compare(0, head.size(), head) != 0)
    return "begins '" + out.substr(0, 200) + "'";
  std::string fault = model_line_fault(out, head.size(), true);
  if (!fault.empty() || cut)
    return fault;
  const std::size_t cpu = out.find('\n', head.size()) + 1;
  if (out.compare(cpu, 12, "c CPU Time: ") != 0 || out.back() != '\n')
    return "no CPU time line after the model";
  return "";
}

// What is wrong with the lines that write_lines_forever() wrote until
// SIGTERM ended it: "c line N" from 0 on, each whole and once, then at
// most the ending's lines (nothing was published); a terminal may take
// part of a piece, so the last may stop short. "" when nothing is.
std::string lines_until_signal_fault(const std::string &out) {
  const std::string ending = kTerm + "c o Top\ns UNKNOWN\nc CPU Time: ";
  std::size_t at = 0;
  for (long i = 0;; ++i) {
    const std::string line = "c line " + std::to_string(i) + "\n";
    if (out.compare(at, line.size(), line) == 0) {
      at += line.size();
      continue;
    }
    const std::string rest = out.substr(at);
    if (line.rfind(rest, 0) == 0 || ending.rfind(rest, 0) == 0)
      return "";
    // After the CPU time's number only its line end.
    const std::size_t cpu =
        rest.find_first_not_of("0123456789.e-", ending.size());
    if (rest.rfind(ending, 0) == 0 &&
        (cpu == std::string::npos ||
         (cpu + 1 == rest.size() && rest.back() == '\n')))
      return "";
    return "line " + std::to_string(i) + " reads '" + rest.substr(0, 60) + "'";
  }
}

// The lines and the result block that write_lines_and_block() writes.
std::string lines_and_block() {
  std::string s;
  for (int i = 0; i < 3000; ++i)
    s += "c line " + std::to_string(i) + "\n";
  return s + result_block();
}

// Opens a terminal pair; returns its master side (-1: none) and sets slave
// to the name of the other. With raw, the other side is opened too, set
// raw (bytes pass as written) and left open in *raw for the caller to
// close.
int open_terminal(std::string &slave, int *raw = nullptr) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
    return -1;
  slave = ptsname(master);
  termios t;
  if (raw && ((*raw = open(slave.c_str(), O_RDWR | O_NOCTTY)) < 0 ||
              tcgetattr(*raw, &t) != 0))
    return -1;
  if (raw) {
    cfmakeraw(&t);
    tcsetattr(*raw, TCSANOW, &t);
  }
  return master;
}

// Reads fds, each into its string of outs, until nothing came for 200 ms
// and pid (0: none) has ended, or 10 s have passed. Returns whether pid
// ended, its wait status in ws.
bool read_terminals(const std::vector<int> &fds, std::vector<std::string> &outs,
                    pid_t pid, int &ws) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<pollfd> in;
  for (int fd : fds)
    in.push_back({fd, POLLIN, 0});
  outs.assign(fds.size(), "");
  bool ended = pid == 0;
  char buf[4096];
  for (;;) {
    if (poll(in.data(), in.size(), 200) > 0) {
      for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i].revents == 0)
          continue;
        const ssize_t n = read(in[i].fd, buf, sizeof buf);
        if (n > 0)
          outs[i].append(buf, static_cast<std::size_t>(n));
        else
          in[i].fd = -1;
      }
    } else if (ended || seconds_since(start) > 10) {
      return ended;
    } else {
      ended = waitpid(pid, &ws, WNOHANG) == pid;
    }
  }
}

// Waits until the terminal behind master is full: the bytes its master side
// holds unread stop growing for 300 ms (or 5 s have passed).
void wait_terminal_full(int master) {
  int before = -1, now = 0;
  for (int i = 0, same = 0; i < 50 && same < 3; ++i) {
    usleep(100000);
    ioctl(master, FIONREAD, &now);
    same = now > 0 && now == before ? same + 1 : 0;
    before = now;
  }
}

class Readers : public SignalFixture {
protected:
  // Writes the result block (kVars literals) with the signals held; with
  // term, SIGTERM comes as it begins.
  static void write_result_block(bool term = false) {
    route_standard_output();
    install_signal_handlers();
    std::vector<long long> m(kVars + 1);
    for (long long v = 1; v <= kVars; ++v)
      m[v] = literal(v);
    ResultLines out;
    if (term)
      raise(SIGTERM);
    out << "o 3" << '\n' << "s OPTIMUM FOUND" << '\n';
    mxutils::print_complete_model(out, m, kVars);
    out << "c CPU Time: " << 0.5 << '\n';
  }
  // Writes lines to standard output until a signal ends the run.
  [[noreturn]] static void write_lines_forever() {
    route_standard_output();
    install_signal_handlers();
    for (long i = 0;; ++i)
      std::cout << "c line " << i << std::endl;
  }
  // Writes 3000 lines, then the result block.
  static void write_lines_and_block() {
    route_standard_output();
    install_signal_handlers();
    for (int i = 0; i < 3000; ++i)
      std::cout << "c line " << i << std::endl;
    write_result_block();
  }
  // Starts run in a grandchild, in a session of its own with the terminal
  // named other its controlling one (none: ""), its standard output
  // /dev/tty of the child's session: the terminal named own, whose session
  // the child leads. The child passes on the run's status; returns its pid
  // and sets run_pid (0: no run started).
  template <typename Fn>
  static pid_t start_on_dev_tty(const std::string &own,
                                const std::string &other, Fn run,
                                pid_t &run_pid) {
    int fd = -1;
    const pid_t pid = start_captured(
        [&] {
          int tty = -1;
          if (setsid() < 0 || open(own.c_str(), O_RDWR) < 0 ||
              (tty = open("/dev/tty", O_WRONLY)) < 0)
            _exit(9);
          const pid_t r = fork();
          if (r == 0) {
            if (setsid() < 0 ||
                (!other.empty() && open(other.c_str(), O_RDWR) < 0) ||
                dup2(tty, 1) < 0)
              _exit(9);
            run();
            std::cout.flush();
            _exit(0);
          }
          const std::string said = std::to_string(r);
          if (write(1, said.data(), said.size()) < 0 || close(1) != 0)
            _exit(9);
          int ws = 0;
          waitpid(r, &ws, 0);
          _exit(WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws));
        },
        false, fd);
    Captured said;
    read_rest(fd, said);
    run_pid = std::atoi(said.out.c_str());
    return pid;
  }
  // Sends SIGTERM to run once the terminal behind master (its other side
  // raw) is full: waited (the run, or the parent that passes on its
  // status) ends within 3 s (4 s asserted) with status 1, and the
  // terminal holds write_lines_forever()'s lines whole and once, at most
  // the ending's lines after them. Closes master.
  static void expect_signal_ends_it_once_full(int master, pid_t run,
                                              pid_t waited) {
    wait_terminal_full(master);
    kill(run, SIGTERM);
    const auto sent = std::chrono::steady_clock::now();
    int ws = 0;
    if (!wait_ended(waited, sent, 10, ws)) {
      kill(run, SIGKILL);
      ADD_FAILURE() << "still running 10 s after SIGTERM";
    }
    EXPECT_LT(seconds_since(sent), 4);
    EXPECT_TRUE(WIFEXITED(ws) && WEXITSTATUS(ws) == 1) << ws;
    std::vector<std::string> got;
    read_terminals({master}, got, 0, ws);
    close(master);
    EXPECT_GT(got[0].size(), 4096u);
    EXPECT_EQ(lines_until_signal_fault(got[0]), "");
  }
  // Keeps a model of cost 3 over kVars variables (1 true, the rest
  // false), says "c begin" and waits for a signal; with busy, running
  // as a search does.
  void keep_model_and_wait(bool busy = false) {
    route_standard_output();
    install_signal_handlers();
    publish(kVars);
    ZORToolObjects::keep_model(std::vector<long long>{0, 1, -1});
    std::cout << "c begin" << std::endl;
    for (volatile long spins = 0;; ++spins) // volatile: a loop that ends
      if (!busy)                            // by a signal only
        pause();
  }
  // The reader slow, taking its pages while the result block is written
  // with SIGTERM pending, then while the ending that SIGTERM (sent at its
  // first read) starts writes its kept model: it gets all of either.
  void expect_everything(PacedReader slow) {
    double ended = 0;
    Captured r = run_paced([] { write_result_block(true); }, slow, ended);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out == result_block() + kTerm)
        << r.out.size() << " bytes: " << model_line_fault(r.out, 20, false);
    slow.signal = SIGTERM;
    r = run_paced([&] { keep_model_and_wait(); }, slow, ended);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ending_fault(r.out, kTerm), "");
  }
  // "kestrane -T secs" on a small input (optimum 0), standard output a
  // one-page pipe full before the banner, SIGALRM blocked as the launcher
  // left it with block_alarm. With outside_alarm, SIGALRM comes from here
  // 0.5 s in and the pipe is read from 1 s on into c.out (the fill left
  // out); else nobody reads it. Returns the seconds from the start to the
  // run's end (-1: still running 10 s in, killed), its wait status in ws.
  static double run_on_a_full_pipe(const char *secs, bool block_alarm,
                                   bool outside_alarm, Captured &c, int &ws) {
    const std::string file = testing::TempDir() + "kestrane-timeout.wcnf";
    std::ofstream(file) << "p wcnf 2 2 10\n10 1 2 0\n1 -1 0\n";
    const auto start = std::chrono::steady_clock::now();
    int fd = -1;
    const pid_t pid = start_captured(
        [&] {
          if (block_alarm) {
            sigset_t alarm_only;
            sigemptyset(&alarm_only);
            sigaddset(&alarm_only, SIGALRM);
            sigprocmask(SIG_BLOCK, &alarm_only, nullptr);
          }
          const std::string fill(4096, 'x'); // fills the one-page pipe
          if (write(1, fill.data(), fill.size()) != 4096)
            _exit(9);
          std::string a0 = "kestrane", a1 = "-T", a2 = secs, a3 = file;
          char *argv[] = {&a0[0], &a1[0], &a2[0], &a3[0], nullptr};
          _exit(kestrane_main(4, argv));
        },
        true, fd);
    if (outside_alarm) {
      usleep(500000);
      kill(pid, SIGALRM);
      usleep(500000);
      read_rest(fd, c);
      c.out.erase(0, 4096);
    }
    const bool ended = wait_ended(pid, start, 10, ws);
    if (!outside_alarm)
      close(fd);
    take_status(ws, c);
    return ended ? seconds_since(start) : -1;
  }
};

TEST_F(Readers, SlowReaderGetsEverything) {
  // 64 KiB, then 1.9 s of pause, again and again: the result block's last
  // piece goes out about 4 s after the signal, the kept model's later
  // still, far past 2.5 s.
  PacedReader slow;
  slow.pause_ms = 1900;
  expect_everything(slow);
}

TEST_F(Readers, SocketReaderGetsEverything) {
  // Standard output a Unix stream socket, 64 KiB taken every 1.5 s: the
  // room a take makes counts as on a pipe, though poll says the socket
  // takes more only once most of its queue has gone.
  PacedReader slow;
  slow.pause_ms = 1500;
  slow.socket = true;
  expect_everything(slow);
}

TEST_F(Readers, SecondSignalStopsAtOnce) {
  // 4 KiB taken every 1.9 s holds the result block (SIGTERM pending), or
  // the ending that SIGTERM starts, for minutes. A second signal, the same
  // or another, 0.6 s or more after the first and right after a take,
  // ends the run within 0.5 s (1 s asserted: the suite runs loaded and
  // under sanitizers), before the reader's next take; what is out ends
  // right after a whole item.
  PacedReader trickle;
  trickle.page = 4096;
  trickle.pause_ms = 1900;
  double ended = 0;
  for (auto [again, ms] : {std::pair{SIGTERM, 1500}, std::pair{SIGINT, 600}}) {
    trickle.again = again;
    trickle.again_ms = ms;
    Captured r = run_paced([] { write_result_block(true); }, trickle, ended);
    EXPECT_EQ(r.status, 1) << again;
    EXPECT_GE(ended, 0) << again << ": still running 10 s after it";
    EXPECT_LT(ended, 1.0) << again;
    EXPECT_EQ(r.out.compare(0, 20, "o 3\ns OPTIMUM FOUND\n"), 0) << again;
    EXPECT_EQ(model_line_fault(r.out, 20, false), "") << again;
  }
  trickle.signal = SIGTERM;
  Captured r = run_paced([&] { keep_model_and_wait(); }, trickle, ended);
  EXPECT_EQ(r.status, 1);
  EXPECT_GE(ended, 0) << "still running 10 s after SIGINT";
  EXPECT_LT(ended, 1.0);
  EXPECT_EQ(ending_fault(r.out, kTerm, true), "");
}

TEST_F(Readers, SignalsSentTogetherAreOne) {
  // A signal within 0.2 s of the one that began the ending, or of the one
  // a result block holds, whatever its kind, is that one: nothing is cut
  // and only one handler's line comes. SIGHUP right with SIGTERM (the
  // kernel may hand over either first), or SIGINT 20 ms after it; the kept
  // model's ending read at once or 64 KiB every 0.1 s, the result block
  // read 64 KiB every 0.1 s. Where both can be pending at one look, either
  // line may be the one.
  PacedReader reader;
  reader.signal = SIGTERM;
  reader.read_on = true;
  double ended = 0;
  for (auto [again, ms, pause] :
       {std::tuple{SIGHUP, 0, 0}, std::tuple{SIGHUP, 0, 100},
        std::tuple{SIGINT, 20, 100}}) {
    reader.again = again;
    reader.again_ms = ms;
    reader.pause_ms = pause;
    const std::string first = handler_line(SIGTERM);
    const std::string second = handler_line(again);
    Captured r = run_paced([&] { keep_model_and_wait(); }, reader, ended);
    std::string line = only_handler_line(r.out);
    EXPECT_EQ(r.status, 1) << again;
    EXPECT_TRUE(line == first || (ms == 0 && line == second)) << r.out.size();
    EXPECT_EQ(ending_fault(r.out, line), "") << again << " " << ms;
    if (pause == 0)
      continue;
    r = run_paced([] { write_result_block(); }, reader, ended);
    line = only_handler_line(r.out);
    EXPECT_EQ(r.status, 1) << again;
    EXPECT_TRUE(line == first || line == second) << r.out.size();
    EXPECT_TRUE(r.out == result_block() + line)
        << again << " " << ms << ": " << r.out.size() << " bytes, "
        << model_line_fault(r.out, 20, false);
  }
  // timeout(1) sends SIGTERM to the run, then to its process group: to a
  // busy run the second comes as the first one's handler begins, or
  // shortly after. 20 runs, the second 0 to 1 ms after the first; 64 KiB
  // read every 30 ms.
  reader = PacedReader();
  reader.signal = reader.again = SIGTERM;
  reader.to_group = true;
  reader.pause_ms = 30;
  reader.read_on = true;
  for (int i = 0, whole = 1; i < 20 && whole; ++i) {
    reader.again_us = i * 50;
    Captured r = run_paced(
        [&] {
          setpgid(0, 0);
          keep_model_and_wait(true);
        },
        reader, ended);
    const std::string fault = ending_fault(r.out, kTerm);
    whole = r.status == 1 && only_handler_line(r.out) == kTerm && fault == "";
    EXPECT_TRUE(whole) << "run " << i << ": status " << r.status << ", "
                       << fault << ", lines '" << only_handler_line(r.out)
                       << "'";
  }
}

TEST_F(Readers, ReaderThatStopsLeavesWholeItems) {
  // The reader stops so many bytes into the model line, then SIGTERM: the
  // line stops right after a whole item, and the run ends within 3 s.
  for (std::size_t after : {1111u, 2222u, 3333u, 9999u}) {
    PacedReader stops;
    stops.signal = SIGTERM;
    stops.at = "\nv ";
    stops.after = after;
    stops.page = 1024;
    stops.stop = true;
    stops.small_pipe = true;
    double ended = 0;
    Captured r = run_paced([] { write_result_block(); }, stops, ended);
    EXPECT_EQ(r.status, 1) << after;
    EXPECT_GE(ended, 0) << after << ": still running 10 s after the signal";
    EXPECT_LT(ended, 4) << after;
    EXPECT_EQ(r.out.compare(0, 20, "o 3\ns OPTIMUM FOUND\n"), 0) << after;
    EXPECT_EQ(model_line_fault(r.out, 20, false), "") << after;
    EXPECT_EQ(r.out.find("Kestrane"), std::string::npos) << after;
  }
}

TEST_F(Readers, TerminalNobodyReadsEndsTheRun) {
  // Standard output a terminal whose reader never reads: SIGTERM, once the
  // terminal is full, ends the run within the ending's wait, as on a pipe.
  std::string slave;
  int raw = -1;
  const int master = open_terminal(slave, &raw);
  ASSERT_GE(master, 0);
  int fd = -1;
  const pid_t pid = start_captured(
      [&] {
        const int tty = open(slave.c_str(), O_WRONLY | O_NOCTTY);
        if (tty < 0 || dup2(tty, 1) < 0)
          _exit(9);
        write_lines_forever();
      },
      false, fd);
  close(fd);
  expect_signal_ends_it_once_full(master, pid, pid);
  close(raw);
}

TEST_F(Readers, TerminalsMasterSideGetsWhatAPipeGets) {
  // Standard output a terminal's master side, its other side read here
  // raw: lines, then the result block, exactly as a pipe gets them.
  std::string name;
  int slave = -1;
  const int master = open_terminal(name, &slave);
  ASSERT_GE(master, 0);
  int fd = -1;
  const pid_t pid = start_captured(
      [&] {
        if (dup2(master, 1) < 0)
          _exit(9);
        write_lines_and_block();
      },
      false, fd);
  close(fd);
  std::vector<std::string> got;
  Captured c;
  int ws = 0;
  EXPECT_TRUE(read_terminals({slave}, got, pid, ws) ||
              wait_ended(pid, std::chrono::steady_clock::now(), 0, ws))
      << "still running";
  close(slave);
  close(master);
  take_status(ws, c);
  EXPECT_EQ(c.status, 0);
  EXPECT_TRUE(got[0] == lines_and_block())
      << got[0].size() << " of " << lines_and_block().size();
}

TEST_F(Readers, TerminalThatCannotBeOpenedAgainEndsTheRun) {
  // The run writes to /dev/tty of the session it left, a terminal it
  // cannot open again, and nobody reads it: SIGTERM, once it is full, ends
  // the run within 3 s (4 s asserted), as on a pipe.
  std::string name;
  int raw = -1;
  const int master = open_terminal(name, &raw);
  ASSERT_GE(master, 0);
  pid_t run = 0;
  const pid_t pid = start_on_dev_tty(
      name, "", [] { write_lines_forever(); }, run);
  ASSERT_GT(run, 0) << "no run started";
  expect_signal_ends_it_once_full(master, run, pid);
  close(raw);
}

TEST_F(Readers, DevTtyOfASessionLeftIsNotTheNewTerminal) {
  // /dev/tty opened in one session, written from another that has a
  // terminal of its own: the lines and the result block all reach the
  // first terminal, whole and once; the run's own terminal gets nothing.
  std::string first, second;
  int raw[2] = {-1, -1};
  const std::vector<int> masters = {open_terminal(first, &raw[0]),
                                    open_terminal(second, &raw[1])};
  ASSERT_GE(std::min(masters[0], masters[1]), 0);
  pid_t run = 0;
  const pid_t pid = start_on_dev_tty(
      first, second, [] { write_lines_and_block(); }, run);
  ASSERT_GT(run, 0) << "no run started";
  std::vector<std::string> got;
  int ws = 0;
  if (!read_terminals(masters, got, pid, ws)) {
    ADD_FAILURE() << "still running 10 s in";
    kill(run, SIGKILL);
    waitpid(pid, &ws, 0);
  }
  for (int fd : {masters[0], masters[1], raw[0], raw[1]})
    close(fd);
  EXPECT_TRUE(WIFEXITED(ws) && WEXITSTATUS(ws) == 0) << ws;
  EXPECT_TRUE(got[0] == lines_and_block())
      << got[0].size() << " of " << lines_and_block().size();
  EXPECT_EQ(got[1].size(), 0u);
}

TEST_F(Readers, TimeOutCountsFromTheStart) {
  // Standard output is a full pipe before the banner: the time-out (-T 2,
  // due 1 s in) still ends the run about 3.5 s in, not once somebody reads;
  // the same where the launcher left SIGALRM blocked (the run's own timer).
  for (bool block_alarm : {false, true}) {
    int ws = 0;
    Captured none;
    const double ended = run_on_a_full_pipe("2", block_alarm, false, none, ws);
    EXPECT_GE(ended, 0) << block_alarm << ": still running 10 s in";
    EXPECT_LT(ended, 6) << block_alarm;
    EXPECT_TRUE(WIFEXITED(ws) && WEXITSTATUS(ws) == 1) << block_alarm;
  }
}

TEST_F(Readers, OutsideAlarmIsNoTimeOut) {
  // The launcher left SIGALRM blocked and the run's time-out is 20 s away:
  // a SIGALRM sent from outside 0.5 s in, while the banner waits for the
  // reader, is not the run's alarm and ends nothing.
  Captured r;
  int ws = 0;
  EXPECT_GE(run_on_a_full_pipe("20", true, true, r, ws), 0) << "still running";
  EXPECT_EQ(r.status, 0) << r.out;
  // The banner's seven lines, the result block's four.
  EXPECT_EQ(r.out.rfind("c *** Kestrane MaxSAT solver ***\n", 0), 0u);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 11);
  EXPECT_NE(r.out.find("\nc \no 0\ns OPTIMUM FOUND\nv -1 2 \nc CPU Time: "),
            std::string::npos);
  EXPECT_EQ(r.out.find("Terminating"), std::string::npos);
}

TEST_F(Readers, SignalBlockedByTheLauncherCutsNothing) {
  // The process starts with SIGINT blocked and pending; its reader pauses,
  // and lines keep coming for 3 s after: every one arrives, status 0.
  std::string expected;
  for (int i = 0; i < 5000; ++i)
    expected += "c early line " + std::to_string(100000 + i) + "\n";
  for (int i = 0; i < 30; ++i)
    expected += "c late line " + std::to_string(i) + "\n";
  expected += "s OPTIMUM FOUND\n";
  SlowReader pause{300, 0};
  Captured r = run_captured(
      [] {
        sigset_t s;
        sigemptyset(&s);
        sigaddset(&s, SIGINT);
        sigprocmask(SIG_BLOCK, &s, nullptr);
        kill(getpid(), SIGINT);
        route_standard_output();
        install_signal_handlers();
        for (int i = 0; i < 5000; ++i)
          std::cout << "c early line " << 100000 + i << '\n';
        std::cout.flush();
        for (int i = 0; i < 30; ++i) {
          usleep(100000);
          std::cout << "c late line " << i << std::endl;
        }
        ResultLines out;
        out << "s OPTIMUM FOUND" << '\n';
      },
      &pause);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == expected) << r.out.size() << " of " << expected.size();
}

TEST_F(Readers, AbortDuringTheEndingsLinesFollowsThem) {
  // SIGINT, then an outside abort while the ending waits for the reader
  // amid the kept model: the abort's line comes after the CPU time.
  int fd = -1;
  const pid_t pid = start_captured([&] { keep_model_and_wait(); }, false, fd);
  ASSERT_GT(pid, 0);
  Captured c;
  char buf[4096];
  while (c.out.find('\n') == std::string::npos) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0)
      break;
    c.out.append(buf, static_cast<std::size_t>(n));
  }
  kill(pid, SIGINT);
  usleep(500000);
  kill(pid, SIGABRT);
  usleep(300000);
  read_rest(fd, c);
  int ws = 0;
  waitpid(pid, &ws, 0);
  take_status(ws, c);
  EXPECT_EQ(c.status, 1);
  const std::string handler =
      "c Kestrane received external signal SIGINT. Terminating ...\n";
  ASSERT_GT(c.out.size(), kAbort.size());
  const std::size_t cut = c.out.size() - kAbort.size();
  EXPECT_EQ(c.out.substr(cut), kAbort);
  EXPECT_EQ(ending_fault(c.out.substr(0, cut), handler), "");
}

} // namespace
