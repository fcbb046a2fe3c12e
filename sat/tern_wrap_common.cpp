#include "sat/tern_wrap_common.hpp"

#include <cstdio>
#include <cstdlib>

#include "model/runtime_msgs.hpp"
#include "sat/tern.hpp"

namespace tern_wrap {

void check_engine_lit(long long lit) {
  if (lit == 0)
    Abort("Literal 0 inside a clause or assumption cannot be given to the "
          "SAT solver");
  if (lit < -kMaxEngineVar || lit > kMaxEngineVar) {
    // Unsigned negation keeps the smallest long long representable.
    unsigned long long ul = static_cast<unsigned long long>(lit);
    unsigned long long var = lit < 0 ? 0ULL - ul : ul;
    Abort("Variable " + std::to_string(var) +
          " exceeds the largest variable the SAT solver can index (" +
          std::to_string(kMaxEngineVar) + ")");
  }
}

int send_clause(const BasicClause &c, unsigned long long &max_var,
                long long less_threshold) {
  for (long long l : c.lits)
    check_engine_lit(l);
  for (long long l : c.lits) {
    tern_add(l);
    unsigned long long v = static_cast<unsigned long long>(std::llabs(l));
    if (v > max_var)
      max_var = v;
    if (std::llabs(l) > less_threshold)
      tern_set_less_important_lit(l);
  }
  return tern_add(0);
}

void record_clause(std::vector<BasicClause *> &index, int i, BasicClause *c) {
  std::size_t k = static_cast<std::size_t>(i);
  if (k >= index.size())
    index.resize(k + 1, nullptr);
  index[k] = c;
}

void check_answer(int answer) {
  if (answer == Sat || answer == Unsat)
    return;
  Error("Invalid SAT solver outcome. Contact author.");
  std::exit(ExitStatus::Failure);
}

void read_model(std::vector<long long> &model, unsigned long long max_var) {
  if (model.size() < max_var + 1)
    model.resize(max_var + 1, 0);
  for (unsigned long long v = 1; v <= max_var; ++v)
    model[v] = tern_deref(static_cast<long long>(v));
}

bool in_core(int i) { return tern_coreclause(i) != 0; }

int engine_clause_count() { return tern_added_original_clauses(); }

bool write_extended_trace(const std::string &name) {
  FILE *f = std::fopen(name.c_str(), "w");
  if (!f) {
    Warn(("Cannot open trace file " + name + "; trace not written").c_str());
    return false;
  }
  tern_write_extended_trace(f);
  std::fclose(f);
  return true;
}

void get_var_levels(std::vector<long long> &levels,
                    unsigned long long max_var) {
  if (levels.size() < max_var + 1)
    levels.resize(max_var + 1, 0);
  for (unsigned long long v = 1; v <= max_var; ++v)
    levels[v] = tern_deref_level(static_cast<long long>(v));
}

bool is_dvar(long long v) {
  check_engine_lit(v);
  return tern_decision_lit(v) != 0;
}

void print_cnf(const char *file) {
  FILE *f = std::fopen(file, "w");
  if (!f) {
    Warn((std::string("Cannot open CNF file ") + file + "; not written")
             .c_str());
    return;
  }
  tern_print(f);
  std::fclose(f);
}

} // namespace tern_wrap
