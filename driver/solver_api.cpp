#include "driver/solver_api.hpp"

#include "formats/read_input.hpp"
#include "framework/mxsat_solver.hpp"

namespace solver_api {

void init(MaxSATSolver *s, IDManager &imgr, BasicClauseSet &clset,
          std::vector<long long> &model) {
  if (s)
    s->init(imgr, clset, model);
}

void reset(MaxSATSolver *s) {
  if (s)
    s->reset();
}

void destroy(MaxSATSolver *s) { delete s; }

long long solve(MaxSATSolver *s) { return s ? s->solve() : -1; }

bool chk_unsat_clause(MaxSATSolver *s, BasicClause *c) {
  auto *u = dynamic_cast<UnsatMaxSATSolver *>(s);
  return u && c && u->chk_unsat_clause(c);
}

void relaxation_vars(MaxSATSolver *s, std::vector<long long> &out) {
  auto *u = dynamic_cast<UnsatMaxSATSolver *>(s);
  if (!u)
    return;
  for (const auto &entry : u->rvar_cl_map)
    out.push_back(entry.first);
}

MS_Problems read_input(const char *name, IDManager &imgr,
                       BasicClauseSet &clset) {
  return read_input_file(name, imgr, clset);
}

} // namespace solver_api
