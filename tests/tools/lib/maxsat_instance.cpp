// Reading, writing and evaluating test instances (see maxsat_instance.hpp).
#include "tests/tools/lib/maxsat_instance.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace mxs {

namespace {

bool add_checked(long long a, long long b, long long& r) {
  return !__builtin_add_overflow(a, b, &r);
}

bool lit_true(const std::vector<signed char>& value, long long lit) {
  long long v = lit < 0 ? -lit : lit;
  if (v >= (long long)value.size()) return false;
  return lit > 0 ? value[v] > 0 : value[v] < 0;
}

std::string shell_quote(const std::string& s) {
  std::string r = "'";
  for (char c : s) {
    if (c == '\'') r += "'\\''";
    else r += c;
  }
  return r + "'";
}

// Cursor over the text of a file, with the few lexing steps the readers
// need. Numbers are checked for overflow.
struct Lexer {
  const std::string& s;
  size_t p = 0;
  explicit Lexer(const std::string& text) : s(text) {}
  bool eof() const { return p >= s.size(); }
  char cur() const { return eof() ? '\0' : s[p]; }
  void skip_ws() {
    while (!eof() && (s[p] == ' ' || (s[p] >= 9 && s[p] <= 13))) ++p;
  }
  void skip_blanks() {
    while (!eof() && (s[p] == ' ' || s[p] == '\t')) ++p;
  }
  void skip_line() {
    while (!eof() && s[p] != '\n' && s[p] != '\r') ++p;
    if (!eof()) ++p;
  }
  bool number(long long& out) {
    skip_ws();
    bool neg = false;
    if (cur() == '-' || cur() == '+') {
      neg = cur() == '-';
      ++p;
    }
    if (!(cur() >= '0' && cur() <= '9')) return false;
    long long v = 0;
    while (cur() >= '0' && cur() <= '9') {
      if (__builtin_mul_overflow(v, 10, &v) ||
          __builtin_add_overflow(v, cur() - '0', &v))
        return false;
      ++p;
    }
    out = neg ? -v : v;
    return true;
  }
  std::string word() {
    skip_blanks();
    std::string w;
    while (!eof() && (isalnum((unsigned char)s[p]) || s[p] == '_')) w += s[p++];
    return w;
  }
  std::string line_rest() {
    size_t b = p;
    while (!eof() && s[p] != '\n' && s[p] != '\r') ++p;
    return s.substr(b, p - b);
  }
};

long long note_var(Instance& inst, long long lit) {
  long long v = lit < 0 ? -lit : lit;
  if (v > inst.nvars) inst.nvars = v;
  return lit;
}

// Reads literals up to the terminating 0.
bool read_lits(Lexer& lx, Instance& inst, std::vector<long long>& lits,
               std::string& err) {
  for (;;) {
    long long l;
    if (!lx.number(l)) {
      err = "bad literal near byte " + std::to_string(lx.p);
      return false;
    }
    if (l == 0) return true;
    if (l == LLONG_MIN) {
      err = "literal out of range";
      return false;
    }
    lits.push_back(note_var(inst, l));
  }
}

bool parse_dimacs(const std::string& text, Instance& inst, std::string& err) {
  Lexer lx(text);
  std::string fmt;
  long long top = kNoTop;
  bool pm_hard = false;
  std::map<long long, long long> group_weight;
  long long group_sum = 1;
  for (;;) {
    lx.skip_ws();
    if (lx.eof()) break;
    char c = lx.cur();
    if (c == 'c') {
      lx.skip_line();
      continue;
    }
    if (c == 'p') {
      ++lx.p;
      std::string w = lx.word();
      if (fmt.empty()) {
        fmt = w;
        if (fmt != "cnf" && fmt != "pmcnf" && fmt != "wcnf" &&
            fmt != "gwcnf" && fmt != "scnf") {
          err = "unknown format word '" + fmt + "'";
          return false;
        }
        std::istringstream rest(lx.line_rest());
        std::vector<std::string> nums;
        for (std::string t; rest >> t;) nums.push_back(t);
        if (nums.size() >= 3 && fmt != "cnf" && fmt != "pmcnf") {
          top = std::strtoll(nums[2].c_str(), nullptr, 10);
        }
      } else if (fmt == "pmcnf" && (w == "hard" || w == "soft")) {
        pm_hard = w == "hard";
      } else {
        err = "unexpected header '" + w + "'";
        return false;
      }
      lx.skip_line();
      continue;
    }
    if (fmt.empty()) {
      err = "clause before the format line";
      return false;
    }
    Clause cl;
    long long group = 0;
    if (fmt == "wcnf" || fmt == "scnf") {
      if (!lx.number(cl.weight)) {
        err = "bad weight";
        return false;
      }
    } else if (fmt == "gwcnf") {
      if (!lx.number(group) || !lx.number(cl.weight)) {
        err = "bad group or weight";
        return false;
      }
      if (cl.weight != top && !group_weight.count(group)) {
        group_weight[group] = cl.weight;
        if (!add_checked(group_sum, cl.weight, group_sum)) {
          err = "group weights overflow";
          return false;
        }
      }
    } else if (fmt == "pmcnf") {
      cl.hard = pm_hard;
    }
    if (!read_lits(lx, inst, cl.lits, err)) return false;
    inst.clauses.push_back(cl);
  }
  if (fmt.empty()) {
    err = "no format line";
    return false;
  }
  // As the product's readers do: variable 1 exists even in a file without
  // literals, so a model may name it.
  if (inst.nvars < 1) inst.nvars = 1;
  if (fmt == "gwcnf" && group_sum < top) top = group_sum;
  if (fmt == "wcnf" || fmt == "gwcnf" || fmt == "scnf") {
    for (Clause& cl : inst.clauses) {
      if (cl.weight < 0) {
        err = "negative weight";
        return false;
      }
      cl.hard = cl.weight >= top;
    }
  }
  return true;
}

// Pseudo-Boolean terms up to the relational operator; names map to
// variables in order of first appearance.
bool read_terms(Lexer& lx, Instance& inst, std::map<std::string, long long>& ids,
                std::vector<PbTerm>& terms, std::string& err) {
  for (;;) {
    lx.skip_ws();
    char c = lx.cur();
    if (!(c == '+' || c == '-' || (c >= '0' && c <= '9'))) return true;
    long long coef;
    if (!lx.number(coef)) {
      err = "bad coefficient";
      return false;
    }
    lx.skip_ws();
    bool neg = false;
    if (lx.cur() == '~') {
      neg = true;
      ++lx.p;
    }
    std::string name;
    while (!lx.eof() && (isalnum((unsigned char)lx.cur()) || lx.cur() == '_'))
      name += lx.s[lx.p++];
    if (name.empty()) {
      err = "bad variable name";
      return false;
    }
    lx.skip_blanks();
    if (isalnum((unsigned char)lx.cur()) || lx.cur() == '~') {
      err = "non-linear terms are not supported";
      return false;
    }
    auto it = ids.find(name);
    long long v;
    if (it == ids.end()) {
      v = (long long)ids.size() + 1;
      ids[name] = v;
      inst.names.resize(v + 1);
      inst.names[v] = name;
      inst.nvars = v;
    } else {
      v = it->second;
    }
    terms.push_back({coef, neg ? -v : v});
  }
}

bool read_constraint(Lexer& lx, Instance& inst,
                     std::map<std::string, long long>& ids, PbConstraint& pc,
                     std::string& err) {
  if (!read_terms(lx, inst, ids, pc.terms, err)) return false;
  if (pc.terms.empty()) {
    err = "empty left-hand side";
    return false;
  }
  lx.skip_ws();
  std::string op;
  while (lx.cur() == '<' || lx.cur() == '>' || lx.cur() == '=') op += lx.s[lx.p++];
  if (!lx.number(pc.rhs)) {
    err = "bad right-hand side";
    return false;
  }
  if (op == ">=") {
    pc.rel = Rel::Ge;
  } else if (op == "=" || op == "==") {
    pc.rel = Rel::Eq;
  } else if (op == "<=") {
    pc.rel = Rel::Ge;
    for (PbTerm& t : pc.terms) t.coef = -t.coef;
    pc.rhs = -pc.rhs;
  } else {
    err = "unsupported operator '" + op + "'";
    return false;
  }
  lx.skip_ws();
  if (lx.cur() != ';') {
    err = "missing ';'";
    return false;
  }
  ++lx.p; // the line may hold further constraints
  return true;
}

bool parse_pb(const std::string& text, bool wbo, Instance& inst,
              std::string& err) {
  inst.kind = wbo ? Kind::Wbo : Kind::Opb;
  inst.names.assign(1, "");
  std::map<std::string, long long> ids;
  Lexer lx(text);
  for (;;) {
    lx.skip_ws();
    if (lx.eof()) return true;
    char c = lx.cur();
    if (c == '*') {
      lx.skip_line();
      continue;
    }
    if (!wbo && c == 'm') {
      lx.word();
      lx.skip_ws();
      if (lx.cur() != ':') {
        err = "bad objective line";
        return false;
      }
      ++lx.p;
      inst.has_objective = true;
      if (!read_terms(lx, inst, ids, inst.objective, err)) return false;
      lx.skip_ws();
      if (lx.cur() != ';') {
        err = "missing ';' after the objective";
        return false;
      }
      ++lx.p;
      continue;
    }
    if (wbo && c == 's') {
      lx.word();
      lx.skip_ws();
      if (lx.cur() != ':') {
        err = "bad soft line";
        return false;
      }
      ++lx.p;
      lx.skip_ws();
      if (lx.cur() != ';' && !lx.number(inst.wbo_top)) {
        err = "bad top weight";
        return false;
      }
      lx.skip_line();
      continue;
    }
    PbConstraint pc;
    if (wbo && c == '[') {
      ++lx.p;
      if (!lx.number(pc.weight)) {
        err = "bad soft weight";
        return false;
      }
      lx.skip_ws();
      if (lx.cur() != ']') {
        err = "missing ']'";
        return false;
      }
      ++lx.p;
      pc.soft = pc.weight < inst.wbo_top;
    }
    if (!read_constraint(lx, inst, ids, pc, err)) return false;
    inst.constraints.push_back(pc);
  }
}

bool ends_with(const std::string& s, const std::string& e) {
  return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

void write_pb_terms(std::ostringstream& o, const Instance& inst,
                    const std::vector<PbTerm>& terms) {
  for (const PbTerm& t : terms) {
    o << (t.coef < 0 ? "-" : "+") << (t.coef < 0 ? -t.coef : t.coef) << ' '
      << (t.lit < 0 ? "~" : "") << inst.var_name(t.lit < 0 ? -t.lit : t.lit)
      << ' ';
  }
}

void write_pb_constraint(std::ostringstream& o, const Instance& inst,
                         const PbConstraint& c) {
  write_pb_terms(o, inst, c.terms);
  o << (c.rel == Rel::Eq ? "= " : ">= ") << c.rhs << " ;\n";
}

}  // namespace

bool Instance::has_hard() const {
  for (const Clause& c : clauses)
    if (c.hard) return true;
  for (const PbConstraint& c : constraints)
    if (!c.soft) return true;
  return false;
}

bool Instance::has_soft() const {
  for (const Clause& c : clauses)
    if (!c.hard) return true;
  for (const PbConstraint& c : constraints)
    if (c.soft) return true;
  return has_objective && !objective.empty();
}

bool Instance::soft_weight_sum(long long& sum) const {
  sum = 0;
  for (const Clause& c : clauses)
    if (!c.hard && !add_checked(sum, c.weight, sum)) return false;
  for (const PbConstraint& c : constraints)
    if (c.soft && !add_checked(sum, c.weight, sum)) return false;
  for (const PbTerm& t : objective)
    if (!add_checked(sum, t.coef < 0 ? -t.coef : t.coef, sum)) return false;
  return true;
}

long long Instance::max_soft_weight() const {
  long long m = 0;
  for (const Clause& c : clauses)
    if (!c.hard && c.weight > m) m = c.weight;
  for (const PbConstraint& c : constraints)
    if (c.soft && c.weight > m) m = c.weight;
  for (const PbTerm& t : objective) {
    long long a = t.coef < 0 ? -t.coef : t.coef;
    if (a > m) m = a;
  }
  return m;
}

std::string Instance::var_name(long long v) const {
  if (v < (long long)names.size() && !names[v].empty()) return names[v];
  return "x" + std::to_string(v);
}

std::string to_string(const Optimum& o) {
  return o.feasible ? std::to_string(o.cost) : std::string("UNSAT");
}

const char* format_name(Format f) {
  switch (f) {
    case Format::Cnf: return "cnf";
    case Format::Pmcnf: return "pmcnf";
    case Format::Wcnf: return "wcnf";
    case Format::WcnfNoTop: return "wcnf-notop";
    case Format::Gwcnf: return "gwcnf";
    case Format::Opb: return "opb";
    case Format::Wbo: return "wbo";
  }
  return "?";
}

bool parse_format(const std::string& name, Format& f) {
  for (Format g : {Format::Cnf, Format::Pmcnf, Format::Wcnf, Format::WcnfNoTop,
                   Format::Gwcnf, Format::Opb, Format::Wbo}) {
    if (name == format_name(g)) {
      f = g;
      return true;
    }
  }
  return false;
}

const char* format_suffix(Format f) {
  switch (f) {
    case Format::Cnf: return ".cnf";
    case Format::Pmcnf: return ".pmcnf";
    case Format::Wcnf:
    case Format::WcnfNoTop: return ".wcnf";
    case Format::Gwcnf: return ".gwcnf";
    case Format::Opb: return ".opb";
    case Format::Wbo: return ".wbo";
  }
  return "";
}

std::string write_instance(const Instance& inst, Format f) {
  std::ostringstream o;
  long long sum = 0;
  inst.soft_weight_sum(sum);
  long long top = sum < kNoTop ? sum + 1 : kNoTop;
  auto lits = [&](const Clause& c) {
    for (long long l : c.lits) o << l << ' ';
    o << "0\n";
  };
  switch (f) {
    case Format::Cnf:
      o << "p cnf " << inst.nvars << ' ' << inst.clauses.size() << '\n';
      for (const Clause& c : inst.clauses) lits(c);
      break;
    case Format::Pmcnf: {
      o << "p pmcnf " << inst.nvars << ' ' << inst.clauses.size() << '\n';
      bool hard = false, first = true;
      for (const Clause& c : inst.clauses) {
        if (first || c.hard != hard) o << (c.hard ? "p hard\n" : "p soft\n");
        first = false;
        hard = c.hard;
        lits(c);
      }
      break;
    }
    case Format::Wcnf:
    case Format::WcnfNoTop:
      o << "p wcnf " << inst.nvars << ' ' << inst.clauses.size();
      if (f == Format::Wcnf) o << ' ' << top;
      o << '\n';
      for (const Clause& c : inst.clauses) {
        o << (c.hard ? top : c.weight) << ' ';
        lits(c);
      }
      break;
    case Format::Gwcnf: {
      // One group per clause, numbered from 1 in file order.
      o << "p gwcnf " << inst.nvars << ' ' << inst.clauses.size() << ' ' << top
        << '\n';
      long long g = 0;
      for (const Clause& c : inst.clauses) {
        o << ++g << ' ' << (c.hard ? top : c.weight) << ' ';
        lits(c);
      }
      break;
    }
    case Format::Opb:
      o << "* #variable= " << inst.nvars
        << " #constraint= " << inst.constraints.size() << '\n';
      if (inst.has_objective) {
        o << "min: ";
        write_pb_terms(o, inst, inst.objective);
        o << ";\n";
      }
      for (const PbConstraint& c : inst.constraints) write_pb_constraint(o, inst, c);
      break;
    case Format::Wbo: {
      long long nsoft = 0, minc = kNoTop, maxc = 0;
      for (const PbConstraint& c : inst.constraints) {
        if (!c.soft) continue;
        ++nsoft;
        minc = std::min(minc, c.weight);
        maxc = std::max(maxc, c.weight);
      }
      if (nsoft == 0) minc = 0;
      o << "* #variable= " << inst.nvars
        << " #constraint= " << inst.constraints.size() << " #soft= " << nsoft
        << " mincost= " << minc << " maxcost= " << maxc << " sumcost= " << sum
        << '\n';
      o << "soft: " << top << " ;\n";
      for (const PbConstraint& c : inst.constraints) {
        if (c.soft) o << '[' << c.weight << "] ";
        write_pb_constraint(o, inst, c);
      }
      break;
    }
  }
  return o.str();
}

bool load_file(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  char magic[2] = {0, 0};
  in.read(magic, 2);
  bool gz = in.gcount() == 2 && (unsigned char)magic[0] == 0x1f &&
            (unsigned char)magic[1] == 0x8b;
  if (!gz) {
    in.clear();
    in.seekg(0);
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
  }
  // "e": close-on-exec, so that solvers started meanwhile by other threads
  // do not hold the pipe open.
  FILE* p = popen(("gzip -dc < " + shell_quote(path)).c_str(), "re");
  if (!p) return false;
  text.clear();
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  return pclose(p) == 0;
}

bool save_file(const std::string& path, const std::string& text, bool gzip) {
  if (!gzip) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out);
  }
  FILE* p = popen(("gzip -c > " + shell_quote(path)).c_str(), "we");
  if (!p) return false;
  bool ok = fwrite(text.data(), 1, text.size(), p) == text.size();
  return pclose(p) == 0 && ok;
}

bool parse_instance(const std::string& text, const std::string& name,
                    Instance& inst, std::string& err) {
  inst = Instance();
  std::string base = ends_with(name, ".gz") ? name.substr(0, name.size() - 3) : name;
  if (ends_with(base, ".opb")) return parse_pb(text, false, inst, err);
  if (ends_with(base, ".wbo")) return parse_pb(text, true, inst, err);
  if (ends_with(base, "wcsp")) {
    err = "wcsp files are not covered by the test model";
    return false;
  }
  return parse_dimacs(text, inst, err);
}

bool read_instance(const std::string& path, Instance& inst, std::string& err) {
  std::string text;
  if (!load_file(path, text)) {
    err = "cannot read " + path;
    return false;
  }
  return parse_instance(text, path, inst, err);
}

bool evaluate(const Instance& inst, const std::vector<signed char>& value,
              long long& cost) {
  cost = 0;
  for (const Clause& c : inst.clauses) {
    bool sat = false;
    for (long long l : c.lits)
      if (lit_true(value, l)) {
        sat = true;
        break;
      }
    if (sat) continue;
    if (c.hard) return false;
    cost += c.weight;
  }
  auto lhs = [&](const std::vector<PbTerm>& terms) {
    __int128 s = 0;
    for (const PbTerm& t : terms)
      if (lit_true(value, t.lit)) s += t.coef;
    return s;
  };
  for (const PbConstraint& c : inst.constraints) {
    __int128 s = lhs(c.terms);
    bool holds = c.rel == Rel::Eq ? s == c.rhs : s >= c.rhs;
    if (holds) continue;
    if (!c.soft) return false;
    cost += c.weight;
  }
  if (inst.has_objective) cost += (long long)lhs(inst.objective);
  return true;
}

}  // namespace mxs
