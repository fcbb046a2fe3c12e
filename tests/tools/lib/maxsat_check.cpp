// Answer parsing, judging and the combined oracle (see maxsat_check.hpp).
#include "tests/tools/lib/maxsat_check.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <sstream>

#include "tests/tools/lib/maxsat_brute.hpp"
#include "tests/tools/lib/maxsat_ref.hpp"

namespace mxs {

namespace {

bool plain_int(const std::string& s, long long& v) {
  if (s.empty()) return false;
  size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size() || s.find_first_not_of("0123456789", i) != std::string::npos) return false;
  errno = 0;
  v = std::strtoll(s.c_str(), nullptr, 10);
  return errno == 0;
}

void read_model_item(SolverAnswer& a, const std::string& tok) {
  if (!a.model_error.empty()) return;
  std::string t = tok;
  signed char val;
  if (t.size() > 2 && t.compare(t.size() - 2, 2, "=0") == 0) {
    t = t.substr(0, t.size() - 2);
    val = 0;
    if (!t.empty() && t[0] == '-') {
      a.model_error = "bad model item '" + tok + "'";
      return;
    }
  } else {
    val = (!t.empty() && t[0] == '-') ? -1 : 1;
  }
  long long lit;
  if (!plain_int(t, lit)) {
    a.model_error = "bad model item '" + tok + "'";
    return;
  }
  if (lit == 0) return;  // a closing 0, as other solvers print it
  long long v = lit < 0 ? -lit : lit;
  if (v > 100000000) {
    a.model_error = "model variable out of range: " + tok;
    return;
  }
  if ((long long)a.model.size() <= v) a.model.resize(v + 1, 0);
  a.model[v] = val;
}

const std::string kAssig = "c Costs - Assig: ";

// The first word of text when it is a plain integer.
bool first_int(const std::string& text, long long& v) {
  std::istringstream t(text);
  std::string tok;
  return t >> tok && plain_int(tok, v);
}

}  // namespace

SolverAnswer parse_answer(const std::string& output) {
  SolverAnswer a;
  std::string lower = output;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  a.unavailable = lower.find("unavailable") != std::string::npos;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 2, "s ") == 0) {
      a.status = line.substr(2);
      while (!a.status.empty() && a.status.back() == ' ') a.status.pop_back();
    } else if (line.compare(0, 2, "o ") == 0) {
      long long v;
      // "o LB ..." progress lines and "o Top" are not costs.
      if (first_int(line.substr(2), v)) {
        if (a.has_cost && v > a.cost) a.cost_rose = true;
        a.has_cost = true;
        a.cost = v;
        a.bounds.emplace_back(v, line);
      }
    } else if (line.compare(0, 4, "c o ") == 0) {
      long long v;
      if (first_int(line.substr(4), v)) a.bounds.emplace_back(v, line);
    } else if (line.compare(0, kAssig.size(), kAssig) == 0) {
      // "c Costs - Assig: X - Global UB: Y"
      std::istringstream t(line.substr(kAssig.size()));
      long long x, y;
      std::string dash, global, ub;
      if (t >> x >> dash >> global >> ub >> y) {
        a.bounds.emplace_back(x, line);
        a.bounds.emplace_back(y, line);
      }
    } else if (line.compare(0, 2, "v ") == 0 || line == "v") {
      a.has_model = true;
      std::istringstream t(line.substr(1));
      for (std::string tok; t >> tok;) read_model_item(a, tok);
    }
  }
  return a;
}

std::string bound_fault(const SolverAnswer& a, const Optimum& expected) {
  for (const auto& [value, line] : a.bounds) {
    if (!expected.feasible) return "upper bound '" + line + "' on an unsatisfiable problem";
    if (value < expected.cost)
      return "upper bound '" + line + "' below the optimum " + std::to_string(expected.cost);
  }
  if (a.cost_rose) return "an \"o \" line above an earlier one";
  return "";
}

std::string bound_fault(const Instance& inst, const SolverAnswer& a,
                        const Optimum& expected) {
  std::string fault = bound_fault(a, expected);
  std::set<long long> costs;
  if (!fault.empty() || inst.kind != Kind::Opb || a.bounds.empty() ||
      !all_costs(inst, costs))
    return fault;
  for (const auto& [value, line] : a.bounds)
    if (!costs.count(value))
      return "upper bound '" + line + "' is the objective value of no feasible assignment";
  return "";
}

std::string model_fault(const Instance& inst, const SolverAnswer& a, long long& cost) {
  if (!a.has_model) return "no \"v \" model line";
  if (!a.model_error.empty()) return a.model_error;
  std::vector<signed char> m = a.model;
  if (inst.kind == Kind::Wbo) {
    std::vector<bool> named(inst.nvars + 1, false);
    if (!inst.constraints.empty())
      for (const PbTerm& t : inst.constraints[0].terms) named[t.lit < 0 ? -t.lit : t.lit] = true;
    if (std::count(named.begin() + 1, named.end(), true) != inst.nvars)
      return "the first constraint does not name every variable: the model line cannot be read";
    if ((long long)m.size() > inst.nvars + 1) m.resize(inst.nvars + 1);
  }
  if ((long long)m.size() > inst.nvars + 1)
    return "model names variable " + std::to_string(m.size() - 1) + " beyond the input's " +
           std::to_string(inst.nvars);
  m.resize(inst.nvars + 1, 0);
  if (!evaluate(inst, m, cost)) return "the model falsifies a hard clause";
  return "";
}

Verdict judge(const Instance& inst, const SolverAnswer& a, const Optimum& expected,
              bool check_model) {
  Verdict v;
  if (!expected.feasible) {
    if (a.status == "UNSATISFIABLE") {
      v.message = bound_fault(inst, a, expected);
      v.ok = v.message.empty();
      if (v.ok) v.message = "UNSAT as expected";
    } else {
      v.message = "expected s UNSATISFIABLE, got status '" + a.status + "'" +
                  (a.has_cost ? " with cost " + std::to_string(a.cost) : "");
    }
    return v;
  }
  if (a.status != "OPTIMUM FOUND") {
    v.message = "expected s OPTIMUM FOUND with cost " + std::to_string(expected.cost) +
                ", got status '" + a.status + "'";
    return v;
  }
  if (!a.has_cost) {
    v.message = "no \"o \" cost line";
    return v;
  }
  if (a.cost != expected.cost) {
    v.message = "cost " + std::to_string(a.cost) + " but the optimum is " +
                std::to_string(expected.cost);
    return v;
  }
  v.message = bound_fault(inst, a, expected);
  if (!v.message.empty()) return v;
  if (check_model) {
    long long cost = 0;
    v.message = model_fault(inst, a, cost);
    if (!v.message.empty()) return v;
    if (cost != a.cost) {
      v.message = "the model falsifies weight " + std::to_string(cost) +
                  ", the cost line says " + std::to_string(a.cost);
      return v;
    }
  }
  v.ok = true;
  v.message = "optimum " + std::to_string(a.cost);
  return v;
}

OracleAnswer oracle_optimum(const Instance& inst, const OracleOptions& opt) {
  OracleAnswer r;
  std::vector<std::pair<std::string, Optimum>> got;
  std::ostringstream detail;
  if (opt.brute && inst.nvars <= kBruteMaxVars) {
    Optimum o;
    brute_force(inst, o);
    got.push_back({"brute", o});
  }
  if (opt.clasp && clasp_can_judge(inst)) {
    RefAnswer a = run_clasp(inst, scratch_name(opt.scratch_dir, "clasp"), opt.timeout_s);
    if (a.ok) got.push_back({"clasp", a.opt});
    else detail << a.error << "; ";
    r.timeouts += a.timed_out;
  }
  if (opt.z3) {
    RefAnswer a = run_z3(inst, scratch_name(opt.scratch_dir, "z3"), opt.timeout_s);
    if (a.ok) got.push_back({"z3", a.opt});
    else detail << a.error << "; ";
    r.timeouts += a.timed_out;
  }
  bool agree = !got.empty();
  for (const auto& [name, o] : got) {
    detail << name << '=' << to_string(o) << ' ';
    if (o.feasible != got[0].second.feasible || (o.feasible && o.cost != got[0].second.cost))
      agree = false;
  }
  r.answers = (int)got.size();
  r.detail = detail.str();
  if (!r.detail.empty() && r.detail.back() == ' ') r.detail.pop_back();
  if (agree) {
    r.ok = true;
    r.opt = got[0].second;
  }
  return r;
}

}  // namespace mxs
