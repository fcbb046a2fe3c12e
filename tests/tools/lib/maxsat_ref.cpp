// External processes and reference solvers (see maxsat_ref.hpp).
#include "tests/tools/lib/maxsat_ref.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace mxs {

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> lines_of(const std::string& s) {
  std::vector<std::string> r;
  std::istringstream in(s);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    r.push_back(l);
  }
  return r;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// An integer as z3 prints it: "12" or "(- 12)".
bool z3_number(const std::string& raw, long long& v) {
  std::string s = trim(raw);
  bool neg = false;
  if (s.size() > 1 && s[0] == '-') {
    neg = true;
    s = s.substr(1);
  } else if (s.size() > 4 && s.compare(0, 3, "(- ") == 0 && s.back() == ')') {
    neg = true;
    s = trim(s.substr(3, s.size() - 4));
  }
  if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  v = std::strtoll(s.c_str(), nullptr, 10);
  if (errno) return false;
  if (neg) v = -v;
  return true;
}

bool write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return bool(out);
}

long long top_of(const Instance& inst) {
  long long sum = 0;
  if (!inst.soft_weight_sum(sum) || sum == kNoTop) return kNoTop;
  return sum + 1;
}

void opb_terms(std::ostringstream& o, const std::vector<PbTerm>& terms, long long sign) {
  for (const PbTerm& t : terms) {
    long long c = sign * t.coef;
    // Negated literals as (1 - x): c * ~x = c - c * x; the constant moves to
    // the right-hand side, which the caller adjusts.
    long long v = t.lit < 0 ? -t.lit : t.lit;
    if (t.lit < 0) c = -c;
    o << (c < 0 ? "-" : "+") << (c < 0 ? -c : c) << " x" << v << ' ';
  }
}

long long negated_constant(const std::vector<PbTerm>& terms, long long sign) {
  long long k = 0;
  for (const PbTerm& t : terms)
    if (t.lit < 0) k += sign * t.coef;
  return k;
}

// sum terms >= rhs, with optional relaxation literal b of coefficient m.
void opb_ge(std::ostringstream& o, const std::vector<PbTerm>& terms, long long sign,
            long long rhs, long long b, long long m) {
  opb_terms(o, terms, sign);
  if (b > 0 && m > 0) o << '+' << m << " x" << b << ' ';
  o << ">= " << rhs - negated_constant(terms, sign) << " ;\n";
}

long long min_lhs(const std::vector<PbTerm>& terms, long long sign) {
  long long m = 0;
  for (const PbTerm& t : terms)
    if (sign * t.coef < 0) m += sign * t.coef;
  return m;
}

std::atomic<unsigned long> scratch_counter{0};

}  // namespace

std::string scratch_name(const std::string& dir, const std::string& tag) {
  return dir + "/" + tag + "-" + std::to_string(getpid()) + "-" +
         std::to_string(scratch_counter++);
}

ProcResult run_process(const std::vector<std::string>& argv,
                       const std::string& stdin_path, double timeout_s,
                       const std::string& scratch) {
  ProcResult r;
  std::string out_path = scratch + ".out", err_path = scratch + ".err";
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, stdin_path.empty() ? "/dev/null" : stdin_path.c_str(),
                                   O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Own process group, so that a time-out kills whatever the solver started.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  auto start = std::chrono::steady_clock::now();
  int rc = posix_spawnp(&pid, args[0], &fa, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    r.err = std::string("cannot start ") + argv[0] + ": " + strerror(rc);
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return r;
  }
  r.started = true;
  int status = 0;
  int sleep_us = 200;
  for (;;) {
    pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid) break;
    double el = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (el > timeout_s && !r.timed_out) {
      r.timed_out = true;
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(sleep_us));
    if (sleep_us < 20000) sleep_us = sleep_us * 3 / 2;
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (WIFEXITED(status)) {
    r.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    r.signal = WTERMSIG(status);
  }
  r.out = slurp(out_path);
  r.err = slurp(err_path);
  std::remove(out_path.c_str());
  std::remove(err_path.c_str());
  return r;
}

std::string reference_wcnf(const Instance& inst) {
  std::ostringstream o;
  long long top = top_of(inst);
  o << "p wcnf " << inst.nvars << ' ' << inst.clauses.size() << ' ' << top << '\n';
  for (const Clause& c : inst.clauses) {
    o << (c.hard ? top : c.weight);
    for (long long l : c.lits) o << ' ' << l;
    o << " 0\n";
  }
  return o.str();
}

std::string reference_smt2(const Instance& inst) {
  std::ostringstream o;
  o << "(set-option :opt.enable_sat false)\n";
  for (long long v = 1; v <= inst.nvars; ++v) o << "(declare-const x" << v << " Bool)\n";
  auto clause = [&](const Clause& c) {
    if (c.lits.empty()) return std::string("false");
    std::ostringstream s;
    s << "(or";
    for (long long l : c.lits) {
      if (l < 0) s << " (not x" << -l << ')';
      else s << " x" << l;
    }
    s << " false)";
    return s.str();
  };
  for (const Clause& c : inst.clauses) {
    if (c.hard) o << "(assert " << clause(c) << ")\n";
    else o << "(assert-soft " << clause(c) << " :weight " << c.weight << ")\n";
  }
  o << "(check-sat)\n(get-objectives)\n";
  return o.str();
}

std::string reference_opb(const Instance& inst) {
  std::ostringstream body;
  long long nvars = inst.nvars;
  long long ncons = 0;
  std::ostringstream obj;
  bool has_obj = false;
  if (inst.kind == Kind::Opb && inst.has_objective && !inst.objective.empty()) {
    // Negated objective literals become (1 - x); their constant does not
    // change the argmin, but the reported value: keep it by a fixed extra
    // variable? Not needed: the generator writes positive literals only, and
    // a file with negated objective literals is rejected here.
    opb_terms(obj, inst.objective, 1);
    has_obj = true;
  }
  for (const PbConstraint& c : inst.constraints) {
    long long b = 0, m = 0;
    if (c.soft) {
      b = ++nvars;
      m = c.rhs - min_lhs(c.terms, 1);
      obj << '+' << c.weight << " x" << b << ' ';
      has_obj = true;
    }
    opb_ge(body, c.terms, 1, c.rhs, b, m);
    ++ncons;
    if (c.rel == Rel::Eq) {
      // The other half: -terms >= -rhs.
      long long m2 = -c.rhs - min_lhs(c.terms, -1);
      opb_ge(body, c.terms, -1, -c.rhs, b, m2);
      ++ncons;
    }
  }
  std::ostringstream o;
  o << "* #variable= " << nvars << " #constraint= " << ncons << '\n';
  if (has_obj) o << "min: " << obj.str() << ";\n";
  o << body.str();
  return o.str();
}

bool clasp_can_judge(const Instance& inst) {
  if (inst.kind == Kind::Opb && inst.has_objective) {
    for (const PbTerm& t : inst.objective)
      if (t.lit < 0) return false;
  }
  return inst.max_soft_weight() <= 2147483647LL;
}

RefAnswer run_clasp(const Instance& inst, const std::string& scratch, double timeout_s) {
  RefAnswer a;
  std::string path = scratch + (inst.kind == Kind::Clauses ? ".wcnf" : ".opb");
  if (!clasp_can_judge(inst)) {
    a.error = "clasp cannot judge this instance";
    return a;
  }
  write_text(path, inst.kind == Kind::Clauses ? reference_wcnf(inst) : reference_opb(inst));
  ProcResult p = run_process({"clasp", "--opt-strategy=usc", "--quiet=1", path}, "",
                             timeout_s, scratch);
  std::remove(path.c_str());
  if (!p.started) {
    a.error = p.err;
    return a;
  }
  if (p.timed_out) {
    a.timed_out = true;
    a.error = "clasp timed out";
    return a;
  }
  bool have_o = false;
  long long o = 0;
  std::string status;
  for (const std::string& l : lines_of(p.out)) {
    if (l.compare(0, 2, "o ") == 0) {
      if (!z3_number(l.substr(2), o)) {
        a.error = "clasp: bad cost line: " + l;
        return a;
      }
      have_o = true;
    } else if (l.compare(0, 2, "s ") == 0) {
      status = l.substr(2);
    }
  }
  if (status == "UNSATISFIABLE") {
    a.ok = true;
    a.opt.feasible = false;
  } else if (status == "OPTIMUM FOUND" || status == "SATISFIABLE") {
    // SATISFIABLE without a cost line: nothing to optimise, cost 0.
    if (status == "OPTIMUM FOUND" && !have_o) {
      a.error = "clasp: optimum without a cost line";
      return a;
    }
    a.ok = true;
    a.opt.feasible = true;
    a.opt.cost = have_o ? o : 0;
  } else {
    a.error = "clasp: no answer (status '" + status + "', exit " +
              std::to_string(p.exit_code) + ") " + p.err.substr(0, 200);
  }
  return a;
}

RefAnswer run_z3(const Instance& inst, const std::string& scratch, double timeout_s) {
  RefAnswer a;
  std::string path, text;
  std::vector<std::string> argv = {"z3"};
  bool smt = false;
  if (inst.kind == Kind::Clauses) {
    path = scratch + ".smt2";
    text = reference_smt2(inst);
    smt = true;
  } else {
    if (!clasp_can_judge(inst)) {  // negated objective literals
      a.error = "z3: negated objective literals are not rewritten";
      return a;
    }
    path = scratch + ".opb";
    text = reference_opb(inst);
    argv.push_back("-v:1");
    argv.push_back("opt.enable_sat=false");
  }
  argv.push_back(path);
  write_text(path, text);
  ProcResult p = run_process(argv, "", timeout_s, scratch);
  std::remove(path.c_str());
  if (!p.started) {
    a.error = p.err;
    return a;
  }
  if (p.timed_out) {
    a.timed_out = true;
    a.error = "z3 timed out";
    return a;
  }
  std::vector<std::string> out = lines_of(p.out);
  std::string first = out.empty() ? "" : trim(out[0]);
  if (first == "unsat") {
    a.ok = true;
    a.opt.feasible = false;
    return a;
  }
  if (first != "sat") {
    a.error = "z3: no answer: " + p.out.substr(0, 200) + p.err.substr(0, 200);
    return a;
  }
  a.opt.feasible = true;
  long long v = 0;
  if (smt) {
    // (objectives\n ( 42)\n) -- no entry when nothing is soft.
    for (size_t i = 1; i < out.size(); ++i) {
      std::string l = trim(out[i]);
      if (l.size() > 2 && l.front() == '(' && l.back() == ')' && l != "(objectives") {
        if (z3_number(l.substr(1, l.size() - 2), v)) a.opt.cost = v;
      }
    }
    a.ok = true;
    return a;
  }
  std::vector<std::string> err = lines_of(p.err);
  while (!err.empty() && trim(err.back()).empty()) err.pop_back();
  if (!err.empty() && z3_number(err.back(), v)) {
    a.opt.cost = v;
  } else if (inst.has_soft()) {
    a.error = "z3: no cost line";
    return a;
  }
  a.ok = true;
  return a;
}

}  // namespace mxs
