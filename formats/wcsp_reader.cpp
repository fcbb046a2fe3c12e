#include "formats/wcsp_reader.hpp"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "formats/fmt_utils.hpp"

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
      if (d < 0 || d > wcsp::kMaxDomainSize)
        parse_error("PARSE ERROR! Invalid domain size: %lld (allowed: 0 to "
                    "%lld)\n",
                    d, wcsp::kMaxDomainSize);
      values += d;
      pairs += d * (d - 1) / 2;
      if (pairs > wcsp::kMaxDomainPairs)
        parse_error("PARSE ERROR! Domains too large: more than %lld pairs of "
                    "values\n",
                    wcsp::kMaxDomainPairs);
      if (values > FMTUtils::kMaxVariable - imgr_.top_id)
        parse_error("PARSE ERROR! Too many domain values: more than %lld "
                    "variables\n",
                    FMTUtils::kMaxVariable);
      dom_.push_back(d);
    }
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
    if (def != 0 && size > wcsp::kMaxDenseTable)
      parse_error("PARSE ERROR! Cost function table too large: %llu entries "
                  "with a non-zero default cost (at most %llu)\n",
                  size, wcsp::kMaxDenseTable);

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
        for (; it != cls.end(); ++it) {
          if ((*it)->weight != prev)
            ++group;
          prev = (*it)->weight;
          (*it)->group = group;
        }
      }
      ++group;
      std::vector<BasicClause *>().swap(cls);
    }
    if (constant_ > 0) {
      if (imgr_.top_id >= FMTUtils::kMaxVariable)
        parse_error("PARSE ERROR! Too many domain values: more than %lld "
                    "variables\n",
                    FMTUtils::kMaxVariable);
      long long b = imgr_.new_id();
      for (long long l : {b, -b}) {
        BasicClause *c = clset_.create_unit_clause(l);
        clset_.set_cl_weight(c, constant_);
        c->group = group;
      }
    }
    if (sum < clset_.top_weight)
      clset_.top_weight = sum;
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
  // Clauses recorded per set of scope variables, in the sets' order.
  std::map<std::vector<long long>, std::vector<BasicClause *>> scope_sets_;
};

} // namespace

void parse_wcsp_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  WcspReader(in, imgr, clset).read();
}
