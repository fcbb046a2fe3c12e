// Runs one case of the kestrane end-to-end table (cases.txt) and judges it.
//
//   driver_e2e_runner <kestrane> <cases.txt> <case> <data-dir> <bench-dir>
//                     <work-root>
//
// A case is a block of directives:
//   case NAME              starts the block
//   needs solve|bmo|opb    skip (exit 77) while kestrane cannot solve yet
//                          (or has no BMO solver or OPB reader)
//   write FILE TEXT        writes TEXT (\n and \t escapes) into the work dir
//   fifo FILE TEXT         makes FILE a named pipe in the work dir holding
//                          TEXT, kept open for writing while kestrane runs,
//                          so that reading past TEXT waits for ever
//   chmod FILE OCTAL       changes a work-dir file's mode
//   mkdir DIR              creates a directory in the work dir
//   args ARG ...           kestrane's arguments, split at blanks; @DATA@,
//                          @BENCH@ and @WORK@ expand to the folders
//   signal NAME SECONDS    sends SIGTERM, SIGINT, ... after SECONDS
//   limit SECONDS          kills the run after SECONDS (default 60): failure
//   status N               expected exit status
//   out = LINE             the next matching line equals LINE
//   out ~ TEXT             the next matching line contains TEXT
//   out / REGEX            the next matching line matches the POSIX
//                          extended REGEX (anywhere in the line)
//   out ! TEXT             no line begins with TEXT
//   only                   out =, ~ and / must match consecutive lines and
//                          cover the whole output
//   err ~ TEXT, err ! TEXT the same on standard error
//   file FILE ~ TEXT       the work-dir file exists and contains TEXT
//   skip-root REASON       skip when run as root (e.g. file permissions)
// Lines starting with # are comments. The run's work dir is
// <work-root>/<case>, emptied first; kestrane runs in it.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <regex.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSkip = 77;

struct Check {
  std::string stream; // "out", "err" or a file name
  char kind;          // '=', '~', '/', '!'
  std::string text;
};

struct Case {
  std::string name;
  std::vector<std::string> needs;
  std::vector<std::pair<std::string, std::string>> writes;
  std::vector<std::pair<std::string, std::string>> fifos;
  std::vector<std::pair<std::string, std::string>> chmods;
  std::vector<std::string> mkdirs;
  std::vector<std::string> args;
  std::string args_line;
  int signal = 0;
  double signal_after = 0;
  double limit = 60;
  int status = 0;
  bool only = false;
  std::string skip_root;
  std::vector<Check> checks;
};

struct Paths {
  std::string kestrane, data, bench, work;
};

struct RunResult {
  int status = -1; // exit status, or -1
  int term_signal = 0;
  bool timed_out = false;
  std::string out, err;
};

std::string unescape(const std::string &s) {
  std::string r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[++i];
      r += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    } else {
      r += s[i];
    }
  }
  return r;
}

std::string expand(std::string s, const Paths &p) {
  const std::pair<const char *, const std::string *> subst[] = {
      {"@DATA@", &p.data}, {"@BENCH@", &p.bench}, {"@WORK@", &p.work}};
  for (const auto &e : subst) {
    std::size_t pos;
    while ((pos = s.find(e.first)) != std::string::npos)
      s.replace(pos, std::strlen(e.first), *e.second);
  }
  return s;
}

int signal_number(const std::string &name) {
  if (name == "SIGTERM")
    return SIGTERM;
  if (name == "SIGINT")
    return SIGINT;
  if (name == "SIGHUP")
    return SIGHUP;
  if (name == "SIGQUIT")
    return SIGQUIT;
  if (name == "SIGABRT")
    return SIGABRT;
  if (name == "SIGUSR1")
    return SIGUSR1;
  return 0;
}

// Splits "word rest-of-line".
std::pair<std::string, std::string> head_rest(const std::string &line) {
  std::size_t sp = line.find(' ');
  if (sp == std::string::npos)
    return {line, ""};
  return {line.substr(0, sp), line.substr(sp + 1)};
}

bool parse_case(const std::string &file, const std::string &want, Case &c) {
  std::ifstream in(file);
  std::string line;
  bool inside = false, found = false;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    auto [word, rest] = head_rest(line);
    if (word == "case") {
      inside = rest == want;
      if (inside) {
        found = true;
        c.name = rest;
      }
      continue;
    }
    if (!inside)
      continue;
    if (word == "needs") {
      c.needs.push_back(rest);
    } else if (word == "write") {
      auto [f, text] = head_rest(rest);
      c.writes.emplace_back(f, unescape(text));
    } else if (word == "fifo") {
      auto [f, text] = head_rest(rest);
      c.fifos.emplace_back(f, unescape(text));
    } else if (word == "chmod") {
      auto [f, mode] = head_rest(rest);
      c.chmods.emplace_back(f, mode);
    } else if (word == "mkdir") {
      c.mkdirs.push_back(rest);
    } else if (word == "args") {
      c.args_line = rest;
    } else if (word == "signal") {
      auto [name, secs] = head_rest(rest);
      c.signal = signal_number(name);
      c.signal_after = std::atof(secs.c_str());
      if (!c.signal) {
        std::cerr << "unknown signal " << name << "\n";
        return false;
      }
    } else if (word == "limit") {
      c.limit = std::atof(rest.c_str());
    } else if (word == "status") {
      c.status = std::atoi(rest.c_str());
    } else if (word == "only") {
      c.only = true;
    } else if (word == "skip-root") {
      c.skip_root = rest;
    } else if (word == "out" || word == "err" || word == "file") {
      Check ck;
      std::string spec = rest;
      if (word == "file") {
        auto [f, r] = head_rest(rest);
        ck.stream = f;
        spec = r;
      } else {
        ck.stream = word;
      }
      if (spec.empty() ||
          std::string("=~/!").find(spec[0]) == std::string::npos) {
        std::cerr << "bad check: " << line << "\n";
        return false;
      }
      ck.kind = spec[0];
      ck.text = spec.size() > 2 ? spec.substr(2) : "";
      c.checks.push_back(ck);
    } else {
      std::cerr << "unknown directive: " << line << "\n";
      return false;
    }
  }
  return found;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
      .count();
}

RunResult run(const Paths &p, const std::vector<std::string> &args, int sig = 0,
              double sig_after = 0, double limit = 60) {
  RunResult r;
  int po[2], pe[2];
  if (pipe(po) != 0 || pipe(pe) != 0) {
    std::perror("pipe");
    std::exit(2);
  }
  pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(2);
  }
  if (pid == 0) {
    dup2(po[1], 1);
    dup2(pe[1], 2);
    close(po[0]);
    close(po[1]);
    close(pe[0]);
    close(pe[1]);
    if (chdir(p.work.c_str()) != 0)
      _exit(126);
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(p.kestrane.c_str()));
    for (const std::string &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(p.kestrane.c_str(), argv.data());
    _exit(127);
  }
  close(po[1]);
  close(pe[1]);
  auto t0 = std::chrono::steady_clock::now();
  bool sent = false, killed = false;
  struct pollfd fds[2] = {{po[0], POLLIN, 0}, {pe[0], POLLIN, 0}};
  int open_fds = 2;
  int wstatus = 0;
  bool reaped = false;
  while (open_fds > 0 || !reaped) {
    if (sig && !sent && seconds_since(t0) >= sig_after) {
      kill(pid, sig);
      sent = true;
    }
    if (!killed && seconds_since(t0) >= limit) {
      kill(pid, SIGKILL);
      killed = true;
      r.timed_out = true;
    }
    if (open_fds > 0) {
      int n = poll(fds, 2, 20);
      if (n < 0 && errno != EINTR)
        break;
      for (int k = 0; k < 2; ++k) {
        if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
          continue;
        char buf[4096];
        ssize_t got = read(fds[k].fd, buf, sizeof buf);
        if (got > 0) {
          (k == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(got));
        } else {
          close(fds[k].fd);
          fds[k].fd = -1;
          --open_fds;
        }
      }
    } else {
      usleep(10000);
    }
    if (!reaped && waitpid(pid, &wstatus, WNOHANG) == pid)
      reaped = true;
  }
  if (WIFEXITED(wstatus))
    r.status = WEXITSTATUS(wstatus);
  else if (WIFSIGNALED(wstatus))
    r.term_signal = WTERMSIG(wstatus);
  return r;
}

std::vector<std::string> split_lines(const std::string &s) {
  std::vector<std::string> lines;
  std::istringstream in(s);
  std::string l;
  while (std::getline(in, l))
    lines.push_back(l);
  return lines;
}

bool matches(const Check &ck, const std::string &line) {
  switch (ck.kind) {
  case '=':
    return line == ck.text;
  case '~':
    return line.find(ck.text) != std::string::npos;
  case '/': {
    regex_t re;
    if (regcomp(&re, ck.text.c_str(), REG_EXTENDED | REG_NOSUB) != 0) {
      std::cerr << "bad regular expression: " << ck.text << "\n";
      return false;
    }
    bool found = regexec(&re, line.c_str(), 0, nullptr, 0) == 0;
    regfree(&re);
    return found;
  }
  default:
    return false;
  }
}

// Checks the ordered and absent expectations of one stream.
bool judge_stream(const std::string &what, const std::string &text,
                  const std::vector<Check> &checks, bool only,
                  std::string &why) {
  std::vector<std::string> lines = split_lines(text);
  std::size_t next = 0;
  for (const Check &ck : checks) {
    if (ck.kind == '!') {
      for (const std::string &l : lines)
        if (l.compare(0, ck.text.size(), ck.text) == 0) {
          why = what + ": unexpected line \"" + l + "\"";
          return false;
        }
      continue;
    }
    if (only) {
      if (next >= lines.size() || !matches(ck, lines[next])) {
        why = what + ": line " + std::to_string(next + 1) + " is \"" +
              (next < lines.size() ? lines[next] : "<end>") + "\", expected " +
              ck.kind + " \"" + ck.text + "\"";
        return false;
      }
      ++next;
      continue;
    }
    while (next < lines.size() && !matches(ck, lines[next]))
      ++next;
    if (next >= lines.size()) {
      why =
          what + ": no line (in order) for " + ck.kind + " \"" + ck.text + "\"";
      return false;
    }
    ++next;
  }
  if (only && next != lines.size()) {
    why = what + ": extra line \"" + lines[next] + "\"";
    return false;
  }
  return true;
}

std::string read_file(const std::string &name, bool &ok) {
  std::ifstream in(name, std::ios::binary);
  ok = static_cast<bool>(in);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void clear_dir(const std::string &dir) {
  std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
  if (std::system(cmd.c_str()) != 0) {
    std::cerr << "cannot prepare " << dir << "\n";
    std::exit(2);
  }
}

// Skip reasons of the cases that need a solving algorithm: the factory
// answers "Unavailable ZOR algorithm" until the default algorithm is built,
// and the -bmo road says "not available" until the BMO solver is.
std::string unmet_need(const Paths &p, const std::string &need) {
  std::string probe = p.data + "/probe.wcnf";
  if (need == "solve" || need == "bmo") {
    RunResult r = run(p, {probe}, 0, 0, 60);
    if (r.out.find("Unavailable ZOR algorithm") != std::string::npos)
      return "the default algorithm is not built yet (the factory answers "
             "\"Unavailable ZOR algorithm\")";
  }
  if (need == "bmo") {
    RunResult r = run(p, {"-bmo", probe}, 0, 0, 60);
    if (r.out.find("not available") != std::string::npos)
      return "the BMO solver is not built yet (-bmo answers \"not "
             "available\")";
  }
  if (need == "opb") {
    RunResult r = run(p, {p.data + "/objective.opb"}, 0, 0, 60);
    if (r.out.find("Unsupported input format") != std::string::npos)
      return "the OPB reader is not built yet";
  }
  if (need != "solve" && need != "bmo" && need != "opb")
    return "unknown need " + need;
  return "";
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 7) {
    std::cerr << "usage: driver_e2e_runner <kestrane> <cases> <case> <data> "
                 "<bench> <work-root>\n";
    return 2;
  }
  Paths p{argv[1], argv[4], argv[5], std::string(argv[6]) + "/" + argv[3]};
  Case c;
  if (!parse_case(argv[2], argv[3], c)) {
    std::cerr << "case " << argv[3] << " not found or malformed\n";
    return 2;
  }
  if (!c.skip_root.empty() && geteuid() == 0) {
    std::cout << "SKIP: " << c.skip_root << "\n";
    return kSkip;
  }
  clear_dir(p.work);
  for (const std::string &need : c.needs) {
    std::string why = unmet_need(p, need);
    if (!why.empty()) {
      std::cout << "SKIP: " << why << "\n";
      return kSkip;
    }
  }
  for (const auto &w : c.writes) {
    std::ofstream f(p.work + "/" + w.first, std::ios::binary);
    f << expand(w.second, p);
  }
  for (const std::string &d : c.mkdirs)
    mkdir((p.work + "/" + d).c_str(), 0755);
  for (const auto &m : c.chmods)
    chmod((p.work + "/" + m.first).c_str(),
          static_cast<mode_t>(std::strtol(m.second.c_str(), nullptr, 8)));
  std::vector<int> fifo_fds; // the runner's ends, closed after the run
  for (const auto &f : c.fifos) {
    std::string path = p.work + "/" + f.first;
    std::string text = expand(f.second, p);
    // Opened for reading and writing, so the open does not wait for a
    // reader; the text fits the pipe's buffer.
    int fd = mkfifo(path.c_str(), 0644) == 0
                 ? open(path.c_str(), O_RDWR | O_CLOEXEC)
                 : -1;
    if (fd < 0 || write(fd, text.data(), text.size()) !=
                      static_cast<ssize_t>(text.size())) {
      std::perror(path.c_str());
      return 2;
    }
    fifo_fds.push_back(fd);
  }
  std::istringstream in(expand(c.args_line, p));
  for (std::string a; in >> a;)
    c.args.push_back(a);

  RunResult r = run(p, c.args, c.signal, c.signal_after, c.limit);
  for (int fd : fifo_fds)
    close(fd);
  std::ostringstream cmd;
  cmd << "kestrane";
  for (const std::string &a : c.args)
    cmd << " " << a;
  std::cout << "run: " << cmd.str() << "\n--- stdout\n"
            << r.out << "--- stderr\n"
            << r.err << "---\n";

  std::vector<std::string> fails;
  if (r.timed_out)
    fails.push_back("killed after " + std::to_string(c.limit) + " s");
  else if (r.term_signal)
    fails.push_back("ended by signal " + std::to_string(r.term_signal));
  else if (r.status != c.status)
    fails.push_back("exit status " + std::to_string(r.status) + ", expected " +
                    std::to_string(c.status));
  std::vector<Check> outc, errc;
  std::vector<Check> filec;
  for (const Check &ck : c.checks)
    (ck.stream == "out"   ? outc
     : ck.stream == "err" ? errc
                          : filec)
        .push_back(ck);
  std::string why;
  if (!judge_stream("stdout", r.out, outc, c.only, why))
    fails.push_back(why);
  if (!judge_stream("stderr", r.err, errc, false, why))
    fails.push_back(why);
  for (const Check &ck : filec) {
    bool ok;
    std::string text = read_file(p.work + "/" + ck.stream, ok);
    if (!ok)
      fails.push_back("file " + ck.stream + " missing");
    else if (!judge_stream(ck.stream, text, {ck}, false, why))
      fails.push_back(why);
  }
  for (const std::string &f : fails)
    std::cout << "FAIL: " << f << "\n";
  return fails.empty() ? 0 : 1;
}
