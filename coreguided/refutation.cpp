#include "coreguided/refutation.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>
#include <unistd.h>
#include <unordered_set>

#include "coreguided/resolution.hpp"
#include "framework/child_process.hpp"

namespace {

// A whole decimal integer, nothing else.
bool parse_int(const std::string &tok, long long &v) {
  if (tok.empty())
    return false;
  errno = 0;
  char *end = nullptr;
  v = std::strtoll(tok.c_str(), &end, 10);
  return *end == '\0' && errno != ERANGE;
}

// The resolvent of a and b when they clash on exactly one variable.
bool resolvent_of(const std::vector<long long> &a,
                  const std::vector<long long> &b,
                  std::vector<long long> &out) {
  long long x = 0;
  int count = 0;
  for (long long l : a)
    for (long long m : b)
      if (Resolution::clash(l, m)) {
        x = l;
        ++count;
      }
  if (count != 1)
    return false;
  out.clear();
  for (const std::vector<long long> *side : {&a, &b})
    for (long long l : *side)
      if (std::llabs(l) != std::llabs(x))
        out.push_back(l);
  Resolution::normalise(out);
  return true;
}

bool is_hard_clause(const BasicClause *c, const BasicClauseSet &cls) {
  return c->weight >= cls.top_weight;
}

} // namespace

RefutationManager::RefutationManager(BasicClauseSet &cls)
    : cost_(cls.top_weight), cls_(cls) {}

RefutationManager::~RefutationManager() {
  for (auto &e : steps_)
    delete e.second;
}

RefutationStep *RefutationManager::step(long long id) const {
  auto it = steps_.find(id);
  return it == steps_.end() ? nullptr : it->second;
}

bool RefutationManager::parse(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::cout << "Error: Can't open the file named data.txt." << std::endl;
    std::exit(1);
  }
  input_count_ = static_cast<long long>(cls_.size());
  std::string text((std::istreambuf_iterator<char>(in)),
                   std::istreambuf_iterator<char>());
  // A last line without its end is a cut-off proof.
  if (text.empty() || text.back() != '\n')
    return false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (!read_step_extended(text.substr(start, nl - start)))
      return false;
    start = nl + 1;
  }
  RefutationStep *last = step(max_id_);
  return last && !is_input(last) && last->lits.empty();
}

bool RefutationManager::read_step_extended(const std::string &line) {
  std::istringstream ls(line);
  std::vector<long long> nums;
  for (std::string tok; ls >> tok;) {
    long long v;
    if (!parse_int(tok, v))
      return false;
    nums.push_back(v);
  }
  // id, literals, 0, antecedents, 0 and nothing after.
  if (nums.size() < 3 || nums[0] < 1 || nums[0] > INT_MAX || nums.back() != 0)
    return false;
  auto zero = std::find(nums.begin() + 1, nums.end(), 0);
  if (zero == nums.end() - 1 ||
      std::find(zero + 1, nums.end() - 1, 0) != nums.end() - 1)
    return false;
  auto s = new RefutationStep();
  s->id = nums[0];
  s->lits.assign(nums.begin() + 1, zero);
  s->antecedents.assign(zero + 1, nums.end() - 1);
  if (steps_.count(s->id)) {
    delete s;
    return false;
  }
  steps_[s->id] = s;
  max_id_ = std::max(max_id_, s->id);
  Resolution::normalise(s->lits);
  if (is_input(s)) {
    s->input = true;
    if (!s->antecedents.empty()) {
      std::cout << "c Warning " << std::endl;
      return false;
    }
    // Each input step names its own clause of the set, so that the
    // read-once test sees every use of a clause.
    s->clause = cls_.registry->lookup_vect(s->lits);
    return s->clause && cls_.contains(s->clause) &&
           input_clauses_.insert(s->clause).second;
  }
  if (s->antecedents.size() != 2)
    return false;
  RefutationStep *a = step(s->antecedents[0]), *b = step(s->antecedents[1]);
  std::vector<long long> r;
  return a && b && a->id < s->id && b->id < s->id &&
         resolvent_of(a->lits, b->lits, r) && r == s->lits;
}

bool RefutationManager::within(const std::vector<BasicClause *> &core) const {
  std::unordered_set<BasicClause *> members(core.begin(), core.end());
  for (BasicClause *c : input_clauses_)
    if (!is_hard_clause(c, cls_) && !members.count(c))
      return false;
  return true;
}

void RefutationManager::check_properties(BasicClauseSet &aux) {
  cost_ = LLONG_MAX;
  for (auto &e : steps_) {
    RefutationStep *s = e.second;
    if (is_input(s))
      cost_ = std::min(cost_, s->clause->weight);
    else
      for (long long a : s->antecedents)
        ++step(a)->uses;
  }
  // Classify the steps the refutation rests on, antecedents first (they
  // have smaller ids), so that no classification recurses deeply.
  std::set<long long> needed = {max_id_};
  for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
    if (needed.count(it->first))
      for (long long a : it->second->antecedents)
        needed.insert(a);
  for (long long id : needed) {
    compute_clause_type(step(id));
    compute_ror_state(step(id), aux);
  }
}

void RefutationManager::compute_clause_type(RefutationStep *s) {
  if (s->type != 0)
    return;
  if (is_input(s)) {
    s->type = is_hard_clause(s->clause, cls_) ? 2 : 1;
    return;
  }
  RefutationStep *a = step(s->antecedents[0]), *b = step(s->antecedents[1]);
  compute_clause_type(a);
  compute_clause_type(b);
  s->type = a->type == 2 && b->type == 2 ? 2 : 1;
}

void RefutationManager::compute_ror_state(RefutationStep *s,
                                          BasicClauseSet &aux) {
  if (s->state != 0)
    return;
  if (is_input(s)) {
    if (aux.contains(s->clause))
      s->state = 2;
    else
      s->state = is_hard_clause(s->clause, cls_) || s->uses < 2 ? 1 : 2;
    return;
  }
  if (s->type == 0) {
    std::cout << "c Clause type unknown!" << std::endl;
    std::exit(255);
  }
  RefutationStep *a = step(s->antecedents[0]), *b = step(s->antecedents[1]);
  compute_ror_state(a, aux);
  compute_ror_state(b, aux);
  if (a->state != 1 || b->state != 1)
    s->state = 2;
  else
    s->state = s->uses < 2 || s->type == 2 ? 1 : 2;
}

bool RefutationManager::is_hard() const {
  RefutationStep *last = step(max_id_);
  return last && last->type == 2;
}

bool RefutationManager::is_readonce() const {
  RefutationStep *last = step(max_id_);
  return last && last->state == 1;
}

void RefutationManager::transform(std::vector<BasicClause *> &core) {
  Resolution res;
  long long top = cls_.top_weight;
  for (auto &e : steps_) {
    RefutationStep *s = e.second;
    if (is_input(s) || s->state != 1)
      continue;
    BasicClause *ca = step(s->antecedents[0])->clause;
    BasicClause *cb = step(s->antecedents[1])->clause;
    if (!ca || !cb)
      continue;
    long long w = ca->weight >= top && cb->weight >= top ? top : cost_;
    ResolutionResult r(cls_);
    res.resolve(w, cls_, ca, cb, r);
    if (ca->weight < top)
      ResolUtils::RemoveClauseVectorSet(ca, core);
    if (cb->weight < top)
      ResolUtils::RemoveClauseVectorSet(cb, core);
    s->clause = r.get_resolvent();
    if (s->clause && s->clause->weight < top)
      core.push_back(s->clause);
    if (s->id == max_id_)
      gained_ = r.empty_weight;
  }
  drop_null_clauses(core);
}

void RefutationManager::drop_null_clauses(std::vector<BasicClause *> &core) {
  // Collected first: one clause may stand for several steps, and releasing
  // it may delete it.
  std::unordered_set<BasicClause *> null;
  std::vector<BasicClause *> order;
  for (auto &e : steps_) {
    BasicClause *c = e.second->clause;
    if (c && c->weight == 0 && null.insert(c).second)
      order.push_back(c);
  }
  for (auto &e : steps_)
    if (null.count(e.second->clause))
      e.second->clause = nullptr;
  core.erase(std::remove_if(core.begin(), core.end(),
                            [&](BasicClause *c) { return null.count(c) > 0; }),
             core.end());
  for (BasicClause *c : order)
    cls_.remove_clause(c);
}

void RefutationManager::show_step(const RefutationStep *s) const {
  std::cout << "c Step " << s->id << " U:" << s->uses << " state: " << s->state
            << " Type: " << s->type << " input:" << (s->input ? 1 : 0)
            << " Lits ";
  for (long long l : s->lits)
    std::cout << l << " ";
  std::cout << " Refs ";
  for (long long a : s->antecedents)
    std::cout << a << " ";
  if (s->clause)
    std::cout << " cla: " << static_cast<const void *>(s->clause);
  std::cout << std::endl;
}

void RefutationManager::show() const {
  for (auto &e : steps_)
    show_step(e.second);
  std::cout << "c Min Weight " << cost_ << std::endl;
}

void RefutationManager::restricted_show() const {
  std::cout << "c Restricted Show, Original Clauses " << input_count_
            << std::endl;
  for (auto &e : steps_)
    if (e.second->state == 2)
      show_step(e.second);
  std::cout << "c Min Weight " << cost_ << std::endl;
}

void ResolUtils::RemoveClauseVectorSet(BasicClause *c,
                                       std::vector<BasicClause *> &v) {
  auto it = std::find(v.begin(), v.end(), c);
  if (it == v.end()) {
    std::cout << "c Clause not found " << std::endl;
    std::exit(255);
  }
  v.erase(it);
}

bool Utils::file_exists(const std::string &name) {
  std::ifstream f(name);
  return static_cast<bool>(f);
}

std::string AuxUtils::intToString(int n) {
  std::ostringstream o;
  o << n;
  return o.str();
}

bool AuxUtils::execute_tracecheck(const std::string &trace,
                                  const std::string &proof,
                                  const std::string &output, double *time) {
  std::cout.flush();
  bool started = false;
  bool ok = run_child_process(
      {"./tracecheck", "-B", proof, trace, "-o", output}, "", time, &started);
  if (!started)
    std::cerr << "Failed to fork" << std::endl;
  return ok;
}

namespace RefutationFiles {
std::string pid() { return AuxUtils::intToString(static_cast<int>(getpid())); }
std::string trace_prefix() { return "zor-unsat-trace-" + pid(); }
std::string trace() { return trace_prefix() + "-f0" + ".txt"; }
std::string proof() { return "trace." + pid() + ".proof.txt"; }
std::string output() { return "output." + pid() + ".ot.txt"; }
} // namespace RefutationFiles

void RefutationManager::remove_aux_files() {
  std::remove(RefutationFiles::trace().c_str());
  std::remove(RefutationFiles::proof().c_str());
  std::remove(RefutationFiles::output().c_str());
}
