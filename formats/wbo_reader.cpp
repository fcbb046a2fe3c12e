#include "formats/wbo_reader.hpp"

#include <algorithm>
#include <iostream>

#include "formats/fmt_utils.hpp"

using namespace pb_reading;
using FMTUtils::skipWhitespace;

namespace {

std::optional<std::vector<ClauseSnapshot::SoftConstraint>> g_soft;

std::string shown(int c) {
  if (c == EOF)
    return "end of input";
  return std::string("'") + static_cast<char>(c) + "'";
}

// "C or b" for the at-most constraint sum c_i l_i <= k with coefficient sum
// s: sum c_i l_i + d * -b <= s, where d = s - k makes it C when b is false
// and trivial when b is true; a k below 0 (C never holds) needs no more
// than d = s + 1.
void add_blocked_at_most(PbConstraint &out, const std::vector<long long> &lits,
                         const std::vector<long long> &coefs, long long s,
                         long long k, long long b) {
  out.lits = lits;
  out.coefs = coefs;
  out.lits.push_back(-b);
  out.coefs.push_back(s - std::max(k, -1LL));
  out.op = -1;
  out.rhs = s;
  coef_sum(out); // s + d within 64 bits
}

} // namespace

std::optional<std::vector<ClauseSnapshot::SoftConstraint>>
take_wbo_soft_constraints() {
  std::optional<std::vector<ClauseSnapshot::SoftConstraint>> out;
  out.swap(g_soft);
  return out;
}

void read_wbo_constraint(StreamBuffer &in, IDManager &imgr,
                         BasicClauseSet &clset, NameMap &names,
                         ClauseSink &sink, long long group, long long weight,
                         Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc,
                         Wbo_group_encoding wenc, WboSoftBlocks &blocks) {
  PbConstraint pc;
  read_constraint(in, names, imgr, pc);
  normalize(pc);
  TempSet tmp(clset);
  bool soft = group != 1;
  if (soft && weight == 0)
    return; // falsifying it costs nothing
  if (soft && g_soft && weight < clset.get_top())
    g_soft->push_back({pc.lits, pc.coefs, pc.op == 0, pc.rhs, weight});

  if (!soft || wenc == Wbo_group_encoding::Groups) {
    encode_constraint(imgr, tmp.set, pc, cenc, pbenc);
    sink.copy_from(tmp.set, soft ? weight : clset.get_top(), soft ? group : 1);
    return;
  }

  // SAT10: C or b as hard clauses, -b as the soft unit.
  long long s = coef_sum(pc), k = pc.rhs;
  bool upper = k < s;               // at most k is not trivial
  bool lower = pc.op == 0 && k > 0; // at least k (equality) is not trivial
  if (!upper && !lower)
    return; // always holds
  if (imgr.top_id >= FMTUtils::kMaxVariable)
    FMTUtils::variable_out_of_range(imgr.top_id + 1);
  long long b = imgr.new_id();
  PbConstraint half;
  if (upper) {
    add_blocked_at_most(half, pc.lits, pc.coefs, s, k, b);
    encode_constraint(imgr, tmp.set, half, cenc, pbenc);
  }
  if (lower) {
    // at least k <=> at most s - k of the negated literals
    std::vector<long long> neg;
    for (long long l : pc.lits)
      neg.push_back(-l);
    long long kk = k > s ? -1 : s - k;
    add_blocked_at_most(half, neg, pc.coefs, s, kk, b);
    encode_constraint(imgr, tmp.set, half, cenc, pbenc);
  }
  sink.copy_from(tmp.set, clset.get_top(), 1);
  LitVector unit{-b};
  sink.add(clset.registry->create_clause(unit), weight, group);
  blocks.lits.push_back(b);
  blocks.weights.push_back(weight);
}

void parse_wbo_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset,
                    Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc,
                    Wbo_group_encoding wenc) {
  std::cout << (wenc == Wbo_group_encoding::Groups
                    ? "c Group-MaxSAT WBO encoding "
                    : "c SAT2010 WBO encoding ")
            << "\n";
  NameMap names;
  ClauseSink sink(clset);
  WboSoftBlocks blocks;
  g_soft.emplace();

  // "soft: <top> ;" or "soft: ;".
  bool has_top = false;
  long long top = 0;
  skip_space_and_comments(in);
  if (FMTUtils::is_alpha(*in)) {
    std::string word = FMTUtils::readString(in);
    skipWhitespace(in);
    if (word != "soft" || *in != ':')
      pb_parse_error("\"soft:\" expected, found \"" + word + "\"");
    ++in;
    skipWhitespace(in);
    if (*in != ';') {
      top = FMTUtils::parseLongInt(in);
      if (top < 1)
        FMTUtils::invalid_top(top);
      has_top = true;
      skipWhitespace(in);
    }
    if (*in != ';')
      pb_parse_error("';' expected at the end of the soft line, found " +
                     shown(*in));
    ++in;
  }
  // Without a top cost, hard clauses carry the largest weight until the
  // sum of the soft weights is known.
  clset.set_top(has_top ? top : BasicClauseSet::kMaxWeight);

  long long group = 2, total = 1;
  for (;;) {
    skip_space_and_comments(in);
    int c = *in;
    if (c == EOF)
      break;
    if (c == '[') {
      ++in;
      long long w = FMTUtils::parseWeight(in);
      skipWhitespace(in);
      if (*in != ']')
        pb_parse_error("']' expected after the soft weight, found " +
                       shown(*in));
      ++in;
      total = checked_add(total, w);
      read_wbo_constraint(in, imgr, clset, names, sink, group, w, cenc, pbenc,
                          wenc, blocks);
      ++group;
    } else {
      read_wbo_constraint(in, imgr, clset, names, sink, 1, clset.get_top(),
                          cenc, pbenc, wenc, blocks);
    }
  }

  if (has_top && wenc == Wbo_group_encoding::SAT10) {
    // Assignments costing the top or more are not solutions. A soft
    // constraint of weight top or more is hard already.
    std::vector<long long> lits, weights;
    for (std::size_t i = 0; i < blocks.lits.size(); ++i)
      if (blocks.weights[i] < top) {
        lits.push_back(blocks.lits[i]);
        weights.push_back(blocks.weights[i]);
      }
    add_cost_limit(imgr, clset, sink, lits, weights, top - 1, cenc, pbenc);
  }
  if (!has_top)
    sink.rebase_top(total);

  std::cout << "c Soft constraints: " << group - 2
            << " top: " << clset.get_top() << " ntop: " << total << "\n";
  std::cout << "c Clauses " << clset.size() << " vars: " << imgr.top_id << "\n"
            << std::flush;
}
