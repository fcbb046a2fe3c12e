// Seeded instance generator (see maxsat_gen.hpp).
#include "tests/tools/lib/maxsat_gen.hpp"

#include <algorithm>
#include <set>
#include <random>

namespace mxs {

namespace {

struct Rng {
  std::mt19937_64 g;
  explicit Rng(uint64_t seed) : g(seed) {}
  // Uniform in [lo, hi] (hi - lo small against 2^64: the bias is negligible
  // for tests and the mapping is the same everywhere).
  long long in(long long lo, long long hi) {
    return lo + (long long)(g() % (uint64_t)(hi - lo + 1));
  }
  bool chance(int percent) { return in(1, 100) <= percent; }
  long long lit(long long n) { return chance(50) ? in(1, n) : -in(1, n); }
};

enum class WeightMode { Unit, Small, Large };

long long draw_weight(Rng& r, WeightMode m) {
  switch (m) {
    case WeightMode::Unit: return 1;
    case WeightMode::Small: return r.in(1, 10);
    case WeightMode::Large: return r.in(1, 1000000);
  }
  return 1;
}

WeightMode draw_mode(Rng& r) {
  long long x = r.in(0, 2);
  return x == 0 ? WeightMode::Unit : x == 1 ? WeightMode::Small : WeightMode::Large;
}

// A clause of k distinct variables.
std::vector<long long> random_clause(Rng& r, long long n, long long k) {
  k = std::min(k, n);
  std::vector<long long> vars;
  while ((long long)vars.size() < k) {
    long long v = r.in(1, n);
    if (std::find(vars.begin(), vars.end(), v) == vars.end()) vars.push_back(v);
  }
  for (long long& v : vars)
    if (r.chance(50)) v = -v;
  return vars;
}

void add(Instance& inst, std::vector<long long> lits, bool hard, long long w) {
  Clause c;
  c.lits = std::move(lits);
  c.hard = hard;
  c.weight = hard ? 1 : w;
  for (long long l : c.lits) inst.nvars = std::max(inst.nvars, l < 0 ? -l : l);
  inst.clauses.push_back(std::move(c));
}

// Random k-CNF with a hard share (percent) and weights of mode m.
void random_cnf(Rng& r, Instance& inst, long long n, long long m, int hard_pct,
                WeightMode wm) {
  for (long long i = 0; i < m; ++i) {
    long long k = r.in(1, 100) <= 15 ? 1 : r.in(2, 4);
    add(inst, random_clause(r, n, k), r.chance(hard_pct), draw_weight(r, wm));
  }
}

void gen_random(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(2, maxv);
  random_cnf(r, inst, n, r.in(n, 4 * n), (int)r.in(0, 60), draw_mode(r));
}

void gen_bmo(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(3, maxv);
  long long levels = r.in(2, 4);
  // Lightest level first; each next weight exceeds the running total.
  long long total = 0;
  std::vector<std::pair<long long, long long>> lv;  // weight, clause count
  for (long long i = 0; i < levels; ++i) {
    long long w = i == 0 ? r.in(1, 3) : total + r.in(1, 1 + total);
    long long cnt = r.in(1, n);
    lv.push_back({w, cnt});
    total += w * cnt;
  }
  for (auto& [w, cnt] : lv)
    for (long long i = 0; i < cnt; ++i) add(inst, random_clause(r, n, r.in(1, 3)), false, w);
  long long hard = r.in(0, n);
  for (long long i = 0; i < hard; ++i) add(inst, random_clause(r, n, r.in(2, 3)), true, 1);
  std::shuffle(inst.clauses.begin(), inst.clauses.end(), r.g);
}

void gen_xpairs(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(1, maxv);
  WeightMode wm = draw_mode(r);
  for (long long v = 1; v <= n; ++v) {
    if (r.chance(70)) {
      add(inst, {v}, false, draw_weight(r, wm));
      add(inst, {-v}, false, draw_weight(r, wm));
    }
  }
  if (inst.clauses.empty()) {
    add(inst, {1}, false, 1);
    add(inst, {-1}, false, 1);
  }
  random_cnf(r, inst, n, r.in(0, n), (int)r.in(0, 50), wm);
}

void gen_pigeon(Rng& r, Instance& inst, long long maxv) {
  long long holes = 1;
  while ((holes + 1) * (holes + 2) <= maxv && holes < 4) ++holes;
  holes = r.in(1, holes);
  long long pigeons = std::min(holes + r.in(1, 2), maxv / holes);
  if (pigeons < 1) pigeons = 1;
  auto x = [&](long long p, long long h) { return p * holes + h + 1; };
  WeightMode wm = draw_mode(r);
  bool soft_units = r.chance(50);
  for (long long p = 0; p < pigeons; ++p) {
    std::vector<long long> c;
    for (long long h = 0; h < holes; ++h) c.push_back(x(p, h));
    add(inst, c, false, draw_weight(r, wm));
  }
  for (long long h = 0; h < holes; ++h)
    for (long long p = 0; p < pigeons; ++p)
      for (long long q = p + 1; q < pigeons; ++q)
        add(inst, {-x(p, h), -x(q, h)}, !soft_units, draw_weight(r, wm));
  if (soft_units) {
    // Every placement as a soft unit clause as well.
    for (long long p = 0; p < pigeons; ++p)
      for (long long h = 0; h < holes; ++h) add(inst, {x(p, h)}, false, draw_weight(r, wm));
  }
  std::shuffle(inst.clauses.begin(), inst.clauses.end(), r.g);
}

void gen_clique(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(std::min<long long>(4, maxv), maxv);
  WeightMode wm = draw_mode(r);
  // Soft units x_1 .. x_u (or their negations) and two-literal clauses
  // excluding most pairs of variables, mostly hard, some soft.
  long long s = r.chance(50) ? 1 : -1;
  long long units = r.in(2, std::max<long long>(2, n / 3));
  for (long long v = 1; v <= units; ++v) add(inst, {s * v}, false, draw_weight(r, wm));
  for (long long a = 1; a <= n; ++a)
    for (long long b = a + 1; b <= n; ++b)
      if (r.chance(85)) add(inst, {-s * a, -s * b}, !r.chance(10), draw_weight(r, wm));
  long long extra = r.in(0, n / 2);
  for (long long i = 0; i < extra; ++i)
    add(inst, random_clause(r, n, r.in(1, 2)), false, draw_weight(r, wm));
  std::shuffle(inst.clauses.begin(), inst.clauses.end(), r.g);
}

void gen_nosoft(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(2, maxv);
  // Around the 3-SAT threshold, so both answers occur.
  long long m = r.in(2 * n, 6 * n);
  for (long long i = 0; i < m; ++i) add(inst, random_clause(r, n, 3), true, 1);
}

void gen_unsat(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(2, maxv);
  random_cnf(r, inst, n, r.in(1, 2 * n), 30, draw_mode(r));
  // All four clauses over two variables, hard.
  long long a = r.in(1, n), b = r.in(1, n);
  if (a == b) {
    add(inst, {a}, true, 1);
    add(inst, {-a}, true, 1);
  } else {
    for (long long s : {1, -1})
      for (long long t : {1, -1}) add(inst, {s * a, t * b}, true, 1);
  }
  std::shuffle(inst.clauses.begin(), inst.clauses.end(), r.g);
}

void gen_empty(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(1, maxv);
  WeightMode wm = draw_mode(r);
  random_cnf(r, inst, n, r.in(0, 2 * n), (int)r.in(0, 40), wm);
  long long empties = r.in(1, 2);
  for (long long i = 0; i < empties; ++i) add(inst, {}, false, draw_weight(r, wm));
  if (r.chance(20)) add(inst, {}, true, 1);
  if (inst.nvars == 0) add(inst, {1}, false, 1);
  std::shuffle(inst.clauses.begin(), inst.clauses.end(), r.g);
}

void gen_pure(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(2, maxv);
  std::vector<int> sign(n + 1);
  for (long long v = 1; v <= n; ++v) sign[v] = r.chance(50) ? 1 : -1;
  long long m = r.in(n, 4 * n);
  WeightMode wm = draw_mode(r);
  int hard_pct = (int)r.in(0, 50);
  for (long long i = 0; i < m; ++i) {
    std::vector<long long> c = random_clause(r, n, r.in(1, 3));
    for (long long& l : c) {
      long long v = l < 0 ? -l : l;
      // 90% of the occurrences follow the variable's fixed polarity.
      l = r.chance(90) ? sign[v] * v : -sign[v] * v;
    }
    add(inst, c, r.chance(hard_pct), draw_weight(r, wm));
  }
}

void gen_dup(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(2, maxv);
  WeightMode wm = draw_mode(r);
  random_cnf(r, inst, n, r.in(n, 3 * n), (int)r.in(0, 40), wm);
  size_t base = inst.clauses.size();
  for (size_t i = 0; i < base; ++i) {
    Clause c = inst.clauses[i];
    long long kind = r.in(0, 5);
    if (kind == 0) {
      // The same clause again, with its own weight.
      c.weight = draw_weight(r, wm);
      std::shuffle(c.lits.begin(), c.lits.end(), r.g);
      inst.clauses.push_back(c);
    } else if (kind == 1 && !c.lits.empty()) {
      c.lits.push_back(c.lits[0]);  // a repeated literal
      inst.clauses.push_back(c);
    } else if (kind == 2 && !c.lits.empty()) {
      c.lits.push_back(-c.lits[0]);  // a tautology
      inst.clauses.push_back(c);
    }
  }
  std::shuffle(inst.clauses.begin(), inst.clauses.end(), r.g);
}

void gen_huge(Rng& r, Instance& inst, long long maxv) {
  long long n = r.in(2, maxv);
  random_cnf(r, inst, n, r.in(n, 3 * n), (int)r.in(0, 40), WeightMode::Unit);
  for (Clause& c : inst.clauses)
    if (!c.hard) c.weight = r.in(1LL << 26, 1LL << 33);
}

// 20 to 40 soft clauses whose weights, from 2^29 to about 2^33, form an
// arithmetic progression in random order: past 16 weights and 2^28 in
// total, yet with few distinct sums per number of falsified clauses, so
// searches that step through every reachable cost stay short. Soft clauses
// are mostly of two or three literals, so the optimum falsifies few.
void gen_manylarge(Rng& r, Instance& inst, long long maxv) {
  long long n = maxv;
  long long soft = r.in(20, 40);
  long long base = r.in(1LL << 29, 1LL << 33), step = r.in(1, 1LL << 20);
  std::vector<long long> order(soft);
  for (long long i = 0; i < soft; ++i) order[i] = i + 1;
  std::shuffle(order.begin(), order.end(), r.g);
  // The first two are x and -x: one of them is always falsified.
  long long x = r.in(1, n);
  for (long long i = 0; i < soft; ++i) {
    std::vector<long long> lits =
        i < 2 ? std::vector<long long>{i ? -x : x}
              : random_clause(r, n, r.chance(10) ? 1 : r.chance(30) ? 2 : 3);
    add(inst, lits, false, base + step * order[i]);
  }
  long long hard = r.in(0, n / 2);
  for (long long i = 0; i < hard; ++i) add(inst, random_clause(r, n, r.in(2, 3)), true, 1);
  std::shuffle(inst.clauses.begin(), inst.clauses.end(), r.g);
}

void pb_terms(Rng& r, long long n, std::vector<PbTerm>& terms) {
  long long k = r.in(1, std::min<long long>(n, 5));
  std::vector<long long> vars;
  while ((long long)vars.size() < k) {
    long long v = r.in(1, n);
    if (std::find(vars.begin(), vars.end(), v) == vars.end()) vars.push_back(v);
  }
  for (long long v : vars) {
    long long c = r.in(1, 5);
    terms.push_back({r.chance(30) ? -c : c, v});
  }
}

PbConstraint pb_constraint(Rng& r, long long n, bool allow_eq) {
  PbConstraint c;
  pb_terms(r, n, c.terms);
  long long lo = 0, hi = 0;
  for (const PbTerm& t : c.terms) (t.coef < 0 ? lo : hi) += t.coef;
  c.rhs = r.in(lo, hi + 1);
  c.rel = allow_eq && r.chance(20) ? Rel::Eq : Rel::Ge;
  return c;
}

void finish_pb(Instance& inst) {
  long long n = 0;
  for (const PbConstraint& c : inst.constraints)
    for (const PbTerm& t : c.terms) n = std::max(n, t.lit < 0 ? -t.lit : t.lit);
  for (const PbTerm& t : inst.objective) n = std::max(n, t.lit < 0 ? -t.lit : t.lit);
  // Variables are named x1..xn; the count is the largest index used.
  inst.nvars = n;
}

void gen_opb(Rng& r, Instance& inst, long long maxv) {
  inst.kind = Kind::Opb;
  long long n = r.in(2, std::min<long long>(maxv, 14));
  if (r.chance(85)) {
    inst.has_objective = true;
    for (long long v = 1; v <= n; ++v)
      if (r.chance(60)) inst.objective.push_back({r.in(-10, 10), v});
    if (inst.objective.empty()) inst.objective.push_back({r.in(1, 10), 1});
    for (PbTerm& t : inst.objective)
      if (t.coef == 0) t.coef = 1;
  }
  long long m = r.in(1, 6);
  for (long long i = 0; i < m; ++i) inst.constraints.push_back(pb_constraint(r, n, true));
  finish_pb(inst);
}

void gen_wbo(Rng& r, Instance& inst, long long maxv) {
  inst.kind = Kind::Wbo;
  long long n = r.in(2, std::min<long long>(maxv, 14));
  long long m = r.in(1, 8);
  WeightMode wm = r.chance(50) ? WeightMode::Unit : WeightMode::Small;
  for (long long i = 0; i < m; ++i) {
    bool soft = r.chance(60);
    PbConstraint c = pb_constraint(r, n, !soft);
    c.soft = soft;
    c.weight = soft ? draw_weight(r, wm) : 0;
    inst.constraints.push_back(c);
  }
  finish_pb(inst);
}

Format pick_format(Rng& r, const Instance& inst) {
  if (inst.kind == Kind::Opb) return Format::Opb;
  if (inst.kind == Kind::Wbo) return Format::Wbo;
  bool unit = true;
  for (const Clause& c : inst.clauses)
    if (!c.hard && c.weight != 1) unit = false;
  bool hard = inst.has_hard();
  std::vector<Format> ok = {Format::Wcnf, Format::Wcnf, Format::Gwcnf};
  if (!hard) ok.push_back(Format::WcnfNoTop);
  if (unit) {
    ok.push_back(Format::Pmcnf);
    if (!hard) ok.push_back(Format::Cnf);
  }
  return ok[r.in(0, (long long)ok.size() - 1)];
}

// Caps every soft weight and objective coefficient at cap (keeping signs).
// At cap 1 repeats are dropped too, since the readers add up the weights of
// repeated soft clauses and of repeated objective variables.
void cap_weights(Instance& inst, long long cap) {
  auto capped = [cap](long long w) { return 1 + (w - 1) % cap; };
  std::set<std::vector<long long>> seen;
  std::vector<Clause> kept;
  for (Clause& c : inst.clauses) {
    std::vector<long long> key = c.lits;
    std::sort(key.begin(), key.end());
    key.erase(std::unique(key.begin(), key.end()), key.end());
    if (cap == 1 && !c.hard && !seen.insert(key).second) continue;
    if (!c.hard && c.weight > 0) c.weight = capped(c.weight);
    kept.push_back(c);
  }
  inst.clauses = kept;
  std::set<long long> vars;
  std::vector<PbTerm> obj;
  for (PbTerm t : inst.objective) {
    if (cap == 1 && !vars.insert(t.lit < 0 ? -t.lit : t.lit).second) continue;
    if (t.coef != 0) t.coef = t.coef < 0 ? -capped(-t.coef) : capped(t.coef);
    obj.push_back(t);
  }
  inst.objective = obj;
  for (PbConstraint& c : inst.constraints)
    if (c.soft && c.weight > 0) c.weight = capped(c.weight);
}

}  // namespace

const std::vector<std::string>& clause_families() {
  static const std::vector<std::string> f = {"random", "bmo",   "xpairs", "pigeon", "nosoft",
                                             "unsat",  "empty", "pure",   "dup",    "huge"};
  return f;
}

const std::vector<std::string>& pb_families() {
  static const std::vector<std::string> f = {"opb", "wbo"};
  return f;
}

uint64_t instance_seed(uint64_t base, uint64_t index) {
  // splitmix64 of the pair, so neighbouring runs do not share instances.
  uint64_t z = base * 0x9E3779B97F4A7C15ULL + index + 0x632BE59BD9B4E019ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

bool generate(uint64_t seed, const std::string& family, const GenOptions& opt,
              Generated& out) {
  Rng r(seed);
  std::string fam = family;
  const auto& cf = clause_families();
  const auto& pf = pb_families();
  if (fam.find(',') != std::string::npos) {
    // A comma-separated list: one of its families, picked by the seed.
    std::vector<std::string> list;
    size_t b = 0;
    for (size_t e; (e = fam.find(',', b)) != std::string::npos; b = e + 1)
      list.push_back(fam.substr(b, e - b));
    list.push_back(fam.substr(b));
    fam = list[r.in(0, (long long)list.size() - 1)];
  }
  if (fam == "clauses") {
    fam = cf[r.in(0, (long long)cf.size() - 1)];
  } else if (fam == "pb") {
    fam = pf[r.in(0, (long long)pf.size() - 1)];
  } else if (fam == "all") {
    // Mostly clause families: the pseudo-Boolean readers are a smaller share.
    fam = r.chance(85) ? cf[r.in(0, (long long)cf.size() - 1)]
                       : pf[r.in(0, (long long)pf.size() - 1)];
  }
  long long maxv = std::max<long long>(2, opt.max_vars);
  out = Generated();
  out.family = fam;
  Instance& inst = out.inst;
  if (fam == "random") gen_random(r, inst, maxv);
  else if (fam == "bmo") gen_bmo(r, inst, maxv);
  else if (fam == "xpairs") gen_xpairs(r, inst, maxv);
  else if (fam == "pigeon") gen_pigeon(r, inst, maxv);
  else if (fam == "nosoft") gen_nosoft(r, inst, maxv);
  else if (fam == "clique") gen_clique(r, inst, maxv);
  else if (fam == "unsat") gen_unsat(r, inst, maxv);
  else if (fam == "empty") gen_empty(r, inst, maxv);
  else if (fam == "pure") gen_pure(r, inst, maxv);
  else if (fam == "dup") gen_dup(r, inst, maxv);
  else if (fam == "huge") gen_huge(r, inst, maxv);
  else if (fam == "manylarge") gen_manylarge(r, inst, maxv);
  else if (fam == "opb") gen_opb(r, inst, maxv);
  else if (fam == "wbo") gen_wbo(r, inst, maxv);
  else return false;
  if (inst.nvars == 0) inst.nvars = 1;
  if (opt.max_weight > 0) cap_weights(inst, opt.max_weight);
  out.format = pick_format(r, inst);
  out.gzip = opt.allow_gzip && inst.kind == Kind::Clauses && r.chance(20);
  return true;
}

std::string file_name(const std::string& stem, const Generated& g) {
  return stem + format_suffix(g.format) + (g.gzip ? ".gz" : "");
}

}  // namespace mxs
