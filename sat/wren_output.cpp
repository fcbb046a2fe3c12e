// Text output of the Wren solver: the search statistics table shown by
// verbosity, the DIMACS writer and the clause export.
#include <cstdio>
#include <cstdlib>

#include "sat/solver.hpp"

namespace Wren {

namespace {

// Dense renumbering of variables from 0 in order of first occurrence.
Var mapVar(Var x, vec<Var>& map, Var& max) {
  if (map.size() <= x || map[x] == -1) {
    map.growTo(x + 1, -1);
    map[x] = max++;
  }
  return map[x];
}

}  // namespace

void Solver::toDimacs(FILE* f, const vec<Lit>& /*assumps*/) {
  // An unsatisfiable solver writes a fixed contradiction.
  if (!ok) {
    std::fprintf(f, "p cnf 1 2\n1 0\n-1 0\n");
    return;
  }

  vec<Var> map;
  Var max = 0;

  // Only clauses not yet satisfied are written, without their false literals.
  int cnt = 0;
  for (int i = 0; i < clauses.size(); i++)
    if (!satisfied(ca[clauses[i]])) cnt++;

  for (int i = 0; i < clauses.size(); i++) {
    const Clause& c = ca[clauses[i]];
    if (satisfied(c)) continue;
    for (int j = 0; j < c.size(); j++)
      if (value(c[j]) != l_False) mapVar(var(c[j]), map, max);
  }

  cnt += assumptions.size();
  std::fprintf(f, "p cnf %d %d\n", max, cnt);

  for (int i = 0; i < assumptions.size(); i++) {
    Lit p = assumptions[i];
    std::fprintf(f, "%s%d 0\n", sign(p) ? "-" : "", mapVar(var(p), map, max) + 1);
  }

  for (int i = 0; i < clauses.size(); i++) {
    const Clause& c = ca[clauses[i]];
    if (satisfied(c)) continue;
    for (int j = 0; j < c.size(); j++)
      if (value(c[j]) != l_False)
        std::fprintf(f, "%s%d ", sign(c[j]) ? "-" : "",
                     mapVar(var(c[j]), map, max) + 1);
    std::fprintf(f, "0\n");
  }

  if (verbosity > 0)
    std::printf("Wrote %d clauses with %d variables.\n", cnt, max);
}

void Solver::toDimacs(const char* file, const vec<Lit>& assumps) {
  FILE* f = std::fopen(file, "w");
  if (f == nullptr) {
    std::fprintf(stderr, "could not open file %s\n", file);
    std::exit(1);
  }
  toDimacs(f, assumps);
  std::fclose(f);
}

void Solver::getClauses(vec<const Clause*>& out, const vec<Lit>*& trail_out) {
  for (int i = 0; i < clauses.size(); i++) out.push(&ca[clauses[i]]);
  trail_out = &trail;
}

void Solver::printSearchHeader() const {
  std::printf("============================[ Search Statistics ]==============================\n");
  std::printf("| Conflicts |          ORIGINAL         |          LEARNT          | Progress |\n");
  std::printf("|           |    Vars  Clauses Literals |    Limit  Clauses Lit/Cl |          |\n");
  std::printf("===============================================================================\n");
}

void Solver::printSearchProgress() const {
  std::printf("| %9d | %7d %8d %8d | %8d %8d %6.0f | %6.3f %% |\n", (int)conflicts,
              nFreeVars(), nClauses(), (int)clauses_literals, (int)max_learnts,
              nLearnts(), (double)learnts_literals / nLearnts(),
              progressEstimate() * 100);
}

void Solver::printSearchFooter() const {
  std::printf("===============================================================================\n");
}

void Solver::printGarbageCollection(uint32_t before, uint32_t after) const {
  std::printf("|  Garbage collection:   %12d bytes => %12d bytes             |\n",
              (int)(before * ClauseAllocator::Unit_Size),
              (int)(after * ClauseAllocator::Unit_Size));
}

}  // namespace Wren
