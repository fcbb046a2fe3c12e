// Group MaxSAT in "p gwcnf nvars nclauses [top]", clause lines "group weight
// lits 0". Weights add up as in wcnf. The first weight seen for each soft
// group enters a sum that starts at 1; the top weight is lowered to it, since
// no cost above the sum of all group weights can be reached, but never to or
// below the weight of a soft clause.
#include <unordered_map>

#include "formats/dimacs_common.hpp"
#include "formats/dimacs_readers.hpp"

void parse_gwcnf_file(StreamBuffer &in, IDManager &imgr,
                      BasicClauseSet &clset) {
  long long maxvar = 1;
  std::unordered_map<long long, long long> group_weight;
  long long sum = 1; // saturates at the largest weight
  struct Line {
    long long group, weight;
  };
  auto add = [&](const LitVector &lits, std::uint64_t key, const Line &l) {
    bool fresh;
    BasicClause *c = dimacs::insert_prepared(clset, lits, key, fresh);
    c->group = l.group;
    if (l.weight != clset.top_weight &&
        group_weight.emplace(l.group, l.weight).second)
      sum = FMTUtils::add_capped(sum, l.weight, BasicClauseSet::kMaxWeight);
    dimacs::add_weight(clset, c, l.weight);
  };
  dimacs::ClauseBatch<Line, decltype(add)> batch(clset, add);
  dimacs::read_lines(
      in,
      [&] {
        batch.flush();
        dimacs::read_weighted_header(in, imgr, clset, "gwcnf", true);
      },
      [&] {
        long long g = FMTUtils::parseInt(in);
        long long w = FMTUtils::parseWeight(in);
        dimacs::read_clause_lits(in, batch.next(), maxvar);
        batch.push({g, w});
      });
  batch.flush();
  imgr.top_id += maxvar;
  // A clause repeated within one group adds up weights that the sum counts
  // once; keep the top above every soft clause so that none turns hard.
  long long max_soft = 0;
  for (BasicClause *c : clset)
    if (c->weight < clset.top_weight && c->weight > max_soft)
      max_soft = c->weight;
  if (sum <= max_soft)
    sum = max_soft + 1;
  if (sum < clset.top_weight)
    clset.top_weight = sum;
}
