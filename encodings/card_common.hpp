// Pieces shared by every cardinality encoder: clause helpers, the three
// trivial encodings (`CommonCard`), the per-call auxiliary-variable map
// (`CardUtils::mk_yvar`) and the vector operations of the networks, and the
// recording clause-set adapter `MxClSet`.
//
// An encoder is a function template over the identifier manager, the clause
// set and the literal vector. It never changes the caller's vectors (the
// registry sorts a clause's literal vector in place, so every clause is
// built in a vector of its own) and adds its clauses with create_clause.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <unordered_map>
#include <utility>
#include <vector>

#include "encodings/enc_arith.hpp"
#include "model/basic_clset.hpp"
#include "model/runtime_msgs.hpp"

namespace enc_detail {

template <class ClSet>
inline void add_clause(ClSet &cs, std::initializer_list<long long> lits) {
  std::vector<long long> v(lits);
  cs.create_clause(v);
}

template <class ClSet> inline void add_clause_vec(ClSet &cs, std::vector<long long> v) {
  cs.create_clause(v);
}

// The empty clause: the constraint cannot be met.
template <class ClSet> inline void add_empty_clause(ClSet &cs) {
  std::vector<long long> v;
  cs.create_clause(v);
}

// Ends the run when an encoding is about to take more fresh variables than
// identifiers below 2^31 remain (the most the SAT engines address), rather
// than exhaust memory on the way there.
template <class IDM> void check_fresh_budget(const IDM &imgr, enc_arith::Wide count) {
  if (static_cast<enc_arith::Wide>(imgr.top_id) + count > 2147483647)
    tool_abort("Encoding needs more variables than the SAT engines address");
}

// Bytes that a clause of two or three literals and a fresh variable take in
// a run: the clause set (the clause, its literals, its registry and
// membership entries), the identifiers and the SAT engine's copy, measured
// on the counters' registers (a little below what they take).
constexpr long long kClauseBytes = 300;
constexpr long long kVarBytes = 130;

// Ends the run when an encoding of short clauses over fresh variables would
// take more memory than the machine has, before any of them is built.
void check_memory_budget(enc_arith::Wide vars, enc_arith::Wide clauses);

} // namespace enc_detail

// Adds the clauses of one at-most-one encoding to a clause set and records
// every clause that passes through, also those the set already held, so that
// the caller learns which clauses the encoding consists of.
struct MxClSet {
  BasicClauseSet *set = nullptr;
  std::vector<BasicClause *> *created = nullptr;

  // Sorts and deduplicates lits in place (registry), inserts the clause into
  // set when it is not a member, appends it to created in every case.
  BasicClause *create_clause(std::vector<long long> &lits);
};

// The trivial cardinality encodings; none takes a fresh variable.
struct CommonCard {
  // No literal of lits is true: a unit clause {-l} per literal.
  template <class IDM, class ClSet, class LV>
  static void encode_atmost0(IDM &, ClSet &cs, LV &lits) {
    for (long long l : lits)
      enc_detail::add_clause(cs, {-l});
  }
  // Not all literals are true: one clause of the negations (the empty
  // clause for an empty list).
  template <class IDM, class ClSet, class LV>
  static void encode_atmostNm1(IDM &, ClSet &cs, LV &lits) {
    std::vector<long long> v;
    v.reserve(lits.size());
    for (long long l : lits)
      v.push_back(-l);
    cs.create_clause(v);
  }
  // Some literal is true: the clause of lits (the empty clause for none).
  template <class IDM, class ClSet, class LV>
  static void encode_atleast1(IDM &, ClSet &cs, LV &lits) {
    std::vector<long long> v(lits.begin(), lits.end());
    cs.create_clause(v);
  }
};

// Key of an auxiliary variable: a pair of small integers. The hash mixes
// both members; a plain product would send every pair with a zero member
// (a whole row of counters) to one bucket and make the lookups quadratic.
struct LIntPairHash {
  std::size_t operator()(const std::pair<long long, long long> &p) const {
    std::uint64_t h = static_cast<std::uint64_t>(p.first) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<std::uint64_t>(p.second) + 0x7F4A7C159E3779B9ULL + (h << 6) +
         (h >> 2);
    h ^= h >> 29;
    return static_cast<std::size_t>(h);
  }
};
struct LIntPairEqual {
  bool operator()(const std::pair<long long, long long> &a,
                  const std::pair<long long, long long> &b) const {
    return a.first == b.first && a.second == b.second;
  }
};
using LIntPairVarMap =
    std::unordered_map<std::pair<long long, long long>, long long, LIntPairHash,
                       LIntPairEqual>;

struct CardUtils {
  // The variable stored under key; a fresh one (new_id) at its first mention.
  template <class IDM>
  static long long mk_yvar(IDM &imgr, LIntPairVarMap &map,
                           std::pair<long long, long long> key) {
    auto it = map.find(key);
    if (it != map.end())
      return it->second;
    long long v = imgr.new_id();
    map.emplace(key, v);
    return v;
  }
  template <class IDM>
  static long long mk_yvar(IDM &imgr, LIntPairVarMap &map,
                           std::pair<int, int> key) {
    return mk_yvar(imgr, map,
                   std::pair<long long, long long>(key.first, key.second));
  }

  // out := the |in|/2 entries of in starting at offset.
  template <class LV>
  static void mk_half_vect(LV &out, const LV &in, std::size_t offset) {
    out.assign(in.begin() + offset, in.begin() + offset + in.size() / 2);
  }
  // out := count entries of in starting at offset.
  template <class LV>
  static void mk_ksize_vect(LV &out, const LV &in, std::size_t count,
                            std::size_t offset) {
    out.assign(in.begin() + offset, in.begin() + offset + count);
  }
  // out := in[0], in[2], ... (the odd positions counted from 1).
  template <class LV> static void mk_odd_vect(LV &out, const LV &in) {
    out.clear();
    for (std::size_t i = 0; i < in.size() / 2; ++i)
      out.push_back(in[2 * i]);
  }
  // out := in[1], in[3], ...
  template <class LV> static void mk_even_vect(LV &out, const LV &in) {
    out.clear();
    for (std::size_t i = 0; i < in.size() / 2; ++i)
      out.push_back(in[2 * i + 1]);
  }
  // Appends count fresh variables to vec, in order.
  template <class IDM, class LV>
  static void create_vvect(IDM &imgr, LV &vec, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
      vec.push_back(imgr.new_id());
  }
};

// The cases that every at-most-k encoder settles before its own
// construction. Returns true when the constraint is settled: k >= n (holds
// always), k == n-1 (not all), k == 0 (none). A negative k, which callers
// never pass, cannot be met and gets the empty clause.
template <class IDM, class ClSet, class LV>
bool card_shared_cases(IDM &imgr, ClSet &cs, LV &lits, long long k) {
  long long n = static_cast<long long>(lits.size());
  if (k < 0) {
    enc_detail::add_empty_clause(cs);
    return true;
  }
  if (k >= n)
    return true;
  if (k == n - 1) {
    CommonCard::encode_atmostNm1(imgr, cs, lits);
    return true;
  }
  if (k == 0) {
    CommonCard::encode_atmost0(imgr, cs, lits);
    return true;
  }
  return false;
}
