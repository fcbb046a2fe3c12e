#include "formats/wcsp_reader.hpp"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "formats/fmt_utils.hpp"
#include "formats/memory_budget.hpp"
#include "formats/opb_reader.hpp"

namespace {

using FMTUtils::parse_error;

// One number of the file, followed by whitespace.
long long next_number(StreamBuffer &in) {
  long long v = FMTUtils::parseLongInt(in);
  FMTUtils::skipWhitespace(in);
  return v;
}

long long next_cost(StreamBuffer &in) {
  long long v = next_number(in);
  if (v < 0)
    FMTUtils::negative_weight(v);
  return v;
}

// The problem name: every byte up to the first blank. At the end of input
// the next number read reports the error.
void skip_name(StreamBuffer &in) {
  FMTUtils::skipWhitespace(in);
  for (;;) {
    const unsigned char *p = in.cursor(), *e = in.block_end(), *q = p;
    if (p == e)
      return;
    while (q < e && *q != ' ')
      ++q;
    bool whole_block = q == e;
    in.skip(static_cast<int>(q - p));
    if (!whole_block)
      return;
  }
}

class WcspReader {
public:
  WcspReader(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset)
      : in_(in), imgr_(imgr), clset_(clset) {}

  void read() {
    skip_name(in_);
    long long n = next_number(in_);
    next_number(in_); // largest domain size, not used
    long long m = next_number(in_);
    top_ = next_number(in_);
    if (n < 0 || n > FMTUtils::kMaxVariable)
      parse_error("PARSE ERROR! Invalid number of variables: %lld\n", n);
    if (m < 0)
      parse_error("PARSE ERROR! Invalid number of cost functions: %lld\n", m);
    if (top_ < 1)
      FMTUtils::invalid_top(top_);
    clset_.top_weight = top_;
    read_domains(n);
    encode_domains();
    for (long long k = 0; k < m; ++k)
      read_cost_function();
    finish();
  }

private:
  void read_domains(long long n) {
    long long values = 0, pairs = 0;
    for (long long i = 0; i < n; ++i) {
      long long d = next_number(in_);
      if (d < 0)
        parse_error("PARSE ERROR! Invalid domain size: %lld\n", d);
      if (d > FMTUtils::kMaxVariable - imgr_.top_id - values)
        parse_error("PARSE ERROR! Too many domain values: more than %lld "
                    "variables\n",
                    FMTUtils::kMaxVariable);
      values += d;
      pairs += d * (d - 1) / 2; // below 2^59: values stay below 2^30
      dom_.push_back(d);
    }
    // One clause per variable and one per pair of its values.
    double need = memory_budget::run_bytes(
        static_cast<double>(imgr_.top_id + values),
        static_cast<double>(n + pairs), 0,
        static_cast<double>(values + 2 * pairs));
    if (!memory_budget::fits(need))
      parse_error("PARSE ERROR! Domains too large: %lld values and %lld "
                  "pairs of values need about %lld MB, more than the "
                  "machine's %lld MB\n",
                  values, pairs, memory_budget::megabytes(need),
                  memory_budget::megabytes(memory_budget::machine_bytes()));
  }

  // Exactly one value per variable: at least one, then at most one by
  // pairs; all hard, group 1.
  void encode_domains() {
    LitVector lits;
    for (long long d : dom_) {
      first_.push_back(imgr_.top_id + 1);
      lits.clear();
      for (long long v = 0; v < d; ++v)
        lits.push_back(imgr_.new_id());
      add_hard(lits);
    }
    for (std::size_t i = 0; i < dom_.size(); ++i)
      for (long long v = 0; v < dom_[i]; ++v)
        for (long long w = v + 1; w < dom_[i]; ++w) {
          lits.assign({-(first_[i] + v), -(first_[i] + w)});
          add_hard(lits);
        }
  }

  void add_hard(LitVector &lits) {
    literals_ += lits.size();
    BasicClause *c = clset_.create_clause(lits);
    clset_.set_cl_hard(c);
    c->group = 1;
  }

  void read_cost_function() {
    long long arity = next_number(in_);
    if (arity < 0)
      parse_error("PARSE ERROR! Invalid arity: %lld\n", arity);
    scope_.clear();
    for (long long j = 0; j < arity; ++j) {
      long long x = next_number(in_);
      if (x < 0 || x >= static_cast<long long>(dom_.size()))
        parse_error("PARSE ERROR! Variable index out of range: %lld\n", x);
      scope_.push_back(x);
    }
    long long def = next_cost(in_);
    long long ntuples = next_number(in_);
    if (ntuples < 0)
      parse_error("PARSE ERROR! Invalid number of tuples: %lld\n", ntuples);
    if (arity == 0) {
      constant_ = FMTUtils::add_capped(constant_, def,
                                       BasicClauseSet::kMaxWeight);
      return;
    }

    // Mixed radix over the scope, first variable most significant.
    radix_.assign(scope_.size(), 1);
    unsigned long long size = 1;
    for (std::size_t j = scope_.size(); j-- > 0;) {
      radix_[j] = size;
      unsigned long long d = static_cast<unsigned long long>(dom_[scope_[j]]);
      if (d != 0 && size > (1ULL << 62) / d)
        parse_error("PARSE ERROR! Cost function table too large (arity "
                    "%lld)\n",
                    arity);
      size *= d;
    }
    if (def != 0) {
      // Each entry of the table may become a clause of arity literals,
      // soft when the default cost is below the top.
      double entries = static_cast<double>(size);
      double need = memory_budget::run_bytes(
          static_cast<double>(imgr_.top_id),
          static_cast<double>(clset_.size()) + entries,
          static_cast<double>(soft_added_) + (def < top_ ? entries : 0),
          static_cast<double>(literals_) +
              entries * static_cast<double>(arity));
      if (!memory_budget::fits(need))
        parse_error("PARSE ERROR! Cost function table too large: %llu "
                    "entries with a non-zero default cost need about %lld "
                    "MB, more than the machine's %lld MB\n",
                    size, memory_budget::megabytes(need),
                    memory_budget::megabytes(memory_budget::machine_bytes()));
    }

    tuples_.clear();
    for (long long t = 0; t < ntuples; ++t) {
      unsigned long long u = 0;
      for (std::size_t j = 0; j < scope_.size(); ++j) {
        long long v = next_number(in_);
        if (v < 0 || v >= dom_[scope_[j]])
          parse_error("PARSE ERROR! Value out of range: %lld (variable %lld "
                      "has %lld values)\n",
                      v, scope_[j], dom_[scope_[j]]);
        u += static_cast<unsigned long long>(v) * radix_[j];
      }
      tuples_.emplace_back(u, next_cost(in_));
    }
    // A later tuple with the same values replaces an earlier one.
    std::stable_sort(tuples_.begin(), tuples_.end(),
                     [](const auto &a, const auto &b) {
                       return a.first < b.first;
                     });

    std::vector<long long> key(scope_.begin(), scope_.end());
    std::sort(key.begin(), key.end());
    key.erase(std::unique(key.begin(), key.end()), key.end());
    std::vector<BasicClause *> &scope_set = scope_sets_[key];

    std::size_t i = 0;
    auto next_tuple = [&](unsigned long long &u, long long &c) {
      while (i + 1 < tuples_.size() && tuples_[i + 1].first == tuples_[i].first)
        ++i;
      u = tuples_[i].first;
      c = tuples_[i].second;
      ++i;
    };
    if (def == 0) {
      while (i < tuples_.size()) {
        unsigned long long u;
        long long c;
        next_tuple(u, c);
        if (c != 0)
          add_tuple_clause(u, c, scope_set);
      }
    } else {
      for (unsigned long long u = 0; u < size; ++u) {
        long long c = def;
        if (i < tuples_.size() && tuples_[i].first == u) {
          unsigned long long tu;
          next_tuple(tu, c);
        }
        if (c != 0)
          add_tuple_clause(u, c, scope_set);
      }
    }
  }

  // The clause falsified exactly by the tuple of table index u; it gains
  // cost c (capped at the top weight).
  void add_tuple_clause(unsigned long long u, long long c,
                        std::vector<BasicClause *> &scope_set) {
    lits_.clear();
    for (std::size_t j = 0; j < scope_.size(); ++j) {
      long long v = static_cast<long long>(u / radix_[j]);
      u %= radix_[j];
      lits_.push_back(-(first_[scope_[j]] + v));
    }
    literals_ += lits_.size();
    if (c < top_)
      ++soft_added_;
    BasicClause *cl = clset_.create_clause(lits_);
    if (cl->weight < clset_.top_weight)
      cl->weight = FMTUtils::add_capped(cl->weight, c, clset_.top_weight);
    scope_set.push_back(cl);
    cl->group = c == top_ ? 1 : 0;
  }

  // Groups the soft clauses of each scope by weight, adds the constant cost
  // and lowers the top weight to the largest reachable cost plus 1.
  void finish() {
    const long long kMax = BasicClauseSet::kMaxWeight;
    long long sum = FMTUtils::add_capped(constant_, 1, kMax);
    long long group = 2;
    for (auto &entry : scope_sets_) {
      std::vector<BasicClause *> &cls = entry.second;
      if (cls.empty())
        continue;
      std::sort(cls.begin(), cls.end(), [](BasicClause *a, BasicClause *b) {
        return a->weight != b->weight ? a->weight > b->weight : a->id < b->id;
      });
      cls.erase(std::unique(cls.begin(), cls.end()), cls.end());
      auto it = cls.begin();
      while (it != cls.end() && (*it)->weight >= clset_.top_weight)
        ++it;
      if (it != cls.end()) {
        sum = FMTUtils::add_capped(sum, (*it)->weight, kMax);
        long long prev = (*it)->weight;
        classes_.emplace_back(prev, soft_.size());
        for (; it != cls.end(); ++it) {
          if ((*it)->weight != prev) {
            ++group;
            classes_.emplace_back((*it)->weight, soft_.size());
          }
          prev = (*it)->weight;
          (*it)->group = group;
          soft_.push_back(*it);
        }
      }
      ++group;
      std::vector<BasicClause *>().swap(cls);
    }
    if (constant_ > 0) {
      long long b = fresh_variable();
      for (long long l : {b, -b}) {
        BasicClause *c = clset_.create_unit_clause(l);
        clset_.set_cl_weight(c, constant_);
        c->group = group;
      }
    }
    if (sum > top_)
      limit_total_cost();
    if (sum < clset_.top_weight)
      clset_.top_weight = sum;
  }

  // The costs can reach the top: a hard constraint keeps the total below
  // it. Within a scope at most one tuple clause is falsified, so one
  // indicator per weight class, true when a clause of the class is
  // falsified, carries the class's weight.
  void limit_total_cost() {
    std::vector<long long> lits, weights;
    LitVector cl;
    for (std::size_t k = 0; k < classes_.size(); ++k) {
      std::size_t end =
          k + 1 < classes_.size() ? classes_[k + 1].second : soft_.size();
      long long t = fresh_variable();
      for (std::size_t i = classes_[k].second; i < end; ++i) {
        cl = soft_[i]->lits;
        cl.push_back(t);
        add_hard(cl);
      }
      lits.push_back(t);
      weights.push_back(classes_[k].first);
    }
    pb_reading::ClauseSink sink(clset_);
    pb_reading::add_cost_limit(imgr_, clset_, sink, lits, weights,
                               top_ - 1 - constant_, ZORConfig::zorenc,
                               ZORConfig::zorpbenc);
  }

  long long fresh_variable() {
    if (imgr_.top_id >= FMTUtils::kMaxVariable)
      parse_error("PARSE ERROR! Too many domain values: more than %lld "
                  "variables\n",
                  FMTUtils::kMaxVariable);
    return imgr_.new_id();
  }

  StreamBuffer &in_;
  IDManager &imgr_;
  BasicClauseSet &clset_;
  long long top_ = 0;                // the header's top cost
  long long constant_ = 0;           // costs of the arity-0 functions
  std::vector<long long> dom_;       // domain size per variable
  std::vector<long long> first_;     // Boolean variable of value 0
  std::vector<long long> scope_;     // scope of the current cost function
  std::vector<unsigned long long> radix_; // table index weight per scope slot
  std::vector<std::pair<unsigned long long, long long>> tuples_;
  LitVector lits_;
  unsigned long long literals_ = 0;   // literals of the clauses added
  unsigned long long soft_added_ = 0; // tuple clauses of a cost below top
  // Soft clauses in group order, and where each weight class starts.
  std::vector<BasicClause *> soft_;
  std::vector<std::pair<long long, std::size_t>> classes_;
  // Clauses recorded per set of scope variables, in the sets' order.
  std::map<std::vector<long long>, std::vector<BasicClause *>> scope_sets_;
};

} // namespace

void parse_wcsp_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  WcspReader(in, imgr, clset).read();
}
