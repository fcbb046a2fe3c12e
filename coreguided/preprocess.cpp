#include "coreguided/preprocess.hpp"

#include <cstdlib>
#include <iostream>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "model/zor_config.hpp"

unsigned long long BasicSet::find(unsigned long long x) {
  unsigned long long root = x;
  while (parent[root] != root)
    root = parent[root];
  while (parent[x] != root) { // path compression
    unsigned long long next = parent[x];
    parent[x] = root;
    x = next;
  }
  return root;
}

void BasicSet::unite(unsigned long long a, unsigned long long b) {
  unsigned long long ra = find(a), rb = find(b);
  if (ra == rb)
    return;
  if (rank[ra] < rank[rb])
    parent[ra] = rb;
  else if (rank[rb] < rank[ra])
    parent[rb] = ra;
  else {
    parent[rb] = ra;
    ++rank[ra];
  }
}

namespace preprocess {

namespace {
bool expert(int level) {
  return ZORConfig::expert_mode && ZORConfig::verbosity >= level;
}
// Index of a literal in the occurrence tables: 2v for v, 2v-1 for -v.
std::size_t lit_index(long long l) {
  return l > 0 ? 2 * static_cast<std::size_t>(l)
               : 2 * static_cast<std::size_t>(-l) - 1;
}
} // namespace

void remove_pure_literals(long long nvars, BasicClauseSet &cls,
                          std::vector<long long> &pure,
                          std::vector<BasicClause *> &removed) {
  if (expert(4))
    std::cout << "Deleting clauses with pure literals" << std::endl;
  std::size_t nv = nvars > 0 ? static_cast<std::size_t>(nvars) : 0;
  std::vector<long long> pos(nv + 1, 0), neg(nv + 1, 0);
  // Occurrence sets kept in insertion order, with lazy deletion: a clause
  // taken out is marked and skipped, which keeps removal O(1).
  std::vector<std::vector<BasicClause *>> occs(2 * nv + 1);
  for (BasicClause *c : cls)
    for (long long l : c->lits) {
      std::size_t v = static_cast<std::size_t>(std::llabs(l));
      if (v > nv)
        continue;
      (l > 0 ? pos : neg)[v]++;
      occs[lit_index(l)].push_back(c);
    }
  std::unordered_set<BasicClause *> gone;
  std::vector<long long> stack;
  for (std::size_t v = 1; v <= nv; ++v)
    if (pos[v] == 0 || neg[v] == 0) {
      if (expert(6))
        std::cout << "Var id: " << v << " has a pure literal" << std::endl;
      stack.push_back(static_cast<long long>(v));
    }
  if (expert(4))
    std::cout << "Init number of pure literals: " << stack.size()
              << std::endl;
  while (!stack.empty()) {
    long long v = stack.back();
    stack.pop_back();
    if (expert(6))
      std::cout << "Removing clauses of pure literal: "
                << (neg[v] == 0 ? v : -v) << std::endl;
    long long l;
    if (pos[v] != 0 && neg[v] == 0)
      l = v;
    else if (pos[v] == 0 && neg[v] != 0)
      l = -v;
    else
      continue;
    pure.push_back(l);
    std::vector<BasicClause *> &occ = occs[lit_index(l)];
    for (BasicClause *c : occ) {
      if (gone.count(c))
        continue;
      if (expert(6))
        std::cout << "Deleting clause: " << *c << std::endl;
      for (long long x : c->lits) {
        long long xv = std::llabs(x);
        if (static_cast<std::size_t>(xv) > nv)
          continue;
        long long &cnt = (x > 0 ? pos : neg)[xv];
        if (--cnt == 0)
          stack.push_back(xv);
      }
      gone.insert(c);
      removed.push_back(c);
      cls.remove_member(c);
    }
    occ.clear();
  }
  if (expert(4)) {
    std::cout << "Number of pure literals: " << pure.size() << std::endl;
    std::cout << "Pure Literals: ";
    for (long long l : pure)
      std::cout << l << " ";
    std::cout << std::endl;
  }
}

void find_partitions(long long nvars, BasicClauseSet &cls) {
  if (expert(6))
    std::cout << "Starting partition identification ...\n";
  std::vector<BasicClause *> cl = cls.clauses();
  unsigned long long n = cl.size();
  BasicSet sets;
  sets.set_resize(n);
  for (unsigned long long i = 0; i <= n; ++i)
    sets.parent[i] = i;
  std::size_t nv = nvars > 0 ? static_cast<std::size_t>(nvars) : 0;
  std::vector<std::vector<unsigned long long>> byvar(nv + 1);
  for (unsigned long long i = 1; i <= n; ++i)
    for (long long l : cl[i - 1]->lits) {
      std::size_t v = static_cast<std::size_t>(std::llabs(l));
      if (v <= nv && (byvar[v].empty() || byvar[v].back() != i))
        byvar[v].push_back(i);
    }
  for (std::size_t v = 1; v <= nv; ++v)
    for (std::size_t j = 1; j < byvar[v].size(); ++j)
      sets.unite(byvar[v][j - 1], byvar[v][j]);
  std::map<unsigned long long, unsigned long long> group_size;
  for (unsigned long long i = 1; i <= n; ++i)
    ++group_size[sets.find(i)];
  if (expert(1))
    std::cout << "Number of sets: " << group_size.size() << std::endl;
  long long smallest = 9223372036854775807LL, largest = 0;
  std::map<unsigned long long, unsigned long long> histogram;
  for (auto &g : group_size) {
    long long s = static_cast<long long>(g.second);
    smallest = std::min(smallest, s);
    largest = std::max(largest, s);
    ++histogram[g.second];
  }
  if (expert(1)) {
    std::cout << "Created " << histogram.size() << " sets\n";
    std::cout << "Largest set:  " << largest << std::endl;
    std::cout << "Smallest set: " << smallest << std::endl;
    unsigned long long total = 0;
    for (auto &h : histogram) {
      std::cout << "Set w/ size " << h.first << " occurs " << h.second
                << " times\n";
      total += h.first * h.second;
    }
    std::cout << "CNF formulas w/ " << n << " clauses. Validated " << total
              << " clauses" << std::endl;
  }
  if (expert(6))
    std::cout << "Finishing partition identification ...\n";
}

void get_weight_distrib(BasicClauseSet &cls) {
  std::map<long long, long long> count;
  for (BasicClause *c : cls)
    ++count[c->weight];
  std::cout << "Weight distribution:\n";
  for (auto &w : count)
    std::cout << "Count for " << w.first << ": " << w.second << " clauses"
              << std::endl;
}

} // namespace preprocess
