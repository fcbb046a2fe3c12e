// Size and speed of one encoding on one generated constraint: prints the
// clauses and fresh variables it adds and the seconds it takes.
//   encodings_bench card <code-hex> <n> <k> [atmost|atleast]
//   encodings_bench pb <code> <n> <k-permille-of-sum> [maxweight] [seed]
// Cardinality inputs are the literals 1..n with alternating signs; weighted
// inputs take random weights in 1..maxweight (default 1000) and the bound
// k = sum * permille / 1000.
// With ENC_BENCH_SINK=count the clauses are only counted, not handed to the
// clause registry and a BasicClauseSet (the BDD code always uses the set),
// which separates the encoder's own cost from the clause model's.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "encodings/cardenc.hpp"
#include "encodings/pbenc.hpp"

namespace {
// A clause sink that only counts (clauses repeated within one encoding are
// counted each time).
struct CountingSet {
  std::size_t n = 0;
  BasicClause *create_clause(std::vector<long long> &) {
    ++n;
    return nullptr;
  }
  std::size_t size() const { return n; }
};

int usage() {
  std::fprintf(stderr, "usage: encodings_bench card <code-hex> <n> <k> [atmost|atleast]\n"
                       "       encodings_bench pb <code> <n> <k-permille> [maxweight] [seed]\n");
  return 2;
}
} // namespace

int main(int argc, char **argv) {
  if (argc < 5)
    return usage();
  std::string mode = argv[1];
  long long n = std::atoll(argv[3]);
  const char *sink = std::getenv("ENC_BENCH_SINK");
  bool count_only = sink && std::string(sink) == "count";
  IDManager im;
  im.top_id = n;
  BasicClauseSet cs;
  cs.set_def_cl_type(ClauseType::Hard);
  CountingSet counter;
  std::vector<long long> lits;
  for (long long i = 1; i <= n; ++i)
    lits.push_back(i % 2 ? i : -i);
  long long k = 0;
  auto t0 = std::chrono::steady_clock::now();
  if (mode == "card") {
    auto code = static_cast<Card_CNF_Encodings>(std::strtol(argv[2], nullptr, 16));
    k = std::atoll(argv[4]);
    bool atleast = argc > 5 && std::string(argv[5]) == "atleast";
    t0 = std::chrono::steady_clock::now();
    if (atleast && count_only)
      cnf_encode_atleastN(im, counter, lits, k, code);
    else if (atleast)
      cnf_encode_atleastN(im, cs, lits, k, code);
    else if (count_only)
      cnf_encode_atmostN(im, counter, lits, k, code);
    else
      cnf_encode_atmostN(im, cs, lits, k, code);
  } else if (mode == "pb") {
    auto code = static_cast<PB_CNF_Encodings>(std::atoi(argv[2]));
    long long permille = std::atoll(argv[4]);
    long long maxw = argc > 5 ? std::atoll(argv[5]) : 1000;
    std::mt19937_64 rng(argc > 6 ? std::strtoull(argv[6], nullptr, 10) : 1);
    std::vector<long long> w;
    long long sum = 0;
    for (long long i = 0; i < n; ++i) {
      w.push_back(1 + static_cast<long long>(rng() % static_cast<unsigned long long>(maxw)));
      sum += w.back();
    }
    k = sum / 1000 * permille + sum % 1000 * permille / 1000;
    t0 = std::chrono::steady_clock::now();
    if (count_only && code != PB_CNF_Encodings::BDD) {
      initializePB(code);
      cnf_encode_atmostN(im, counter, lits, w, k);
      if (code == PB_CNF_Encodings::SortNetworks)
        PBSortingNetworks::finalize();
    } else {
      count_only = false;
      cnf_encode_atmostN(im, cs, lits, w, k, code);
    }
  } else {
    return usage();
  }
  double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%s %s n=%lld k=%lld clauses=%zu vars=%lld seconds=%.3f%s\n",
              mode.c_str(), argv[2], n, k, count_only ? counter.size() : cs.size(),
              im.top_id - n, secs, count_only ? " (counted only)" : "");
  cs.clear_direct(); // the set's members go back to the registry
  return 0;
}
