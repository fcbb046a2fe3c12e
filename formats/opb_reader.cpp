#include "formats/opb_reader.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unordered_map>

#include "encodings/cardenc.hpp"
#include "encodings/pbenc.hpp"
#include "formats/fmt_utils.hpp"

namespace pb_reading {

using FMTUtils::is_alpha;
using FMTUtils::is_digit;
using FMTUtils::is_word_char;
using FMTUtils::skipWhitespace;

void pb_parse_error(const std::string &msg) {
  FMTUtils::parse_error("PARSE ERROR! %s\n", msg.c_str());
}

namespace {

std::string shown(int c) {
  if (c == EOF)
    return "end of input";
  return std::string("'") + static_cast<char>(c) + "'";
}

bool starts_name(int c) { return is_alpha(c) || c == '_' || c == '~'; }

// A name: an optional "~", then a letter or "_", then digits, letters, "_".
std::string read_name(StreamBuffer &in) {
  std::string name;
  if (*in == '~') {
    name.push_back('~');
    ++in;
  }
  int c = *in;
  if (!(is_alpha(c) || c == '_'))
    pb_parse_error("Variable name expected, found " + shown(c));
  for (; is_word_char(c); c = *in) {
    name.push_back(static_cast<char>(c));
    ++in;
  }
  return name;
}

long long checked_sub(long long a, long long b) {
  long long r;
  if (__builtin_sub_overflow(a, b, &r))
    pb_parse_error("Constraint constants out of range");
  return r;
}

bool is_amo_only(Card_CNF_Encodings e) {
  return e == Card_CNF_Encodings::Pairwise ||
         e == Card_CNF_Encodings::Bitwise || e == Card_CNF_Encodings::Ladder;
}

} // namespace

long long checked_add(long long a, long long b) {
  long long r;
  if (__builtin_add_overflow(a, b, &r))
    pb_parse_error("Constraint constants out of range");
  return r;
}

void skip_space_and_comments(StreamBuffer &in) {
  for (;;) {
    skipWhitespace(in);
    if (*in != '*')
      return;
    FMTUtils::skipLine(in);
  }
}

long long literal_of(const std::string &name, NameMap &names, IDManager &imgr) {
  bool neg = !name.empty() && name[0] == '~';
  std::string base = neg ? name.substr(1) : name;
  auto it = names.find(base);
  if (it == names.end()) {
    if (imgr.top_id >= FMTUtils::kMaxVariable)
      FMTUtils::variable_out_of_range(imgr.top_id + 1);
    it = names.emplace(base, imgr.new_id()).first;
  }
  return neg ? -it->second : it->second;
}

// Returns the number of terms read.
static int read_terms_counted(StreamBuffer &in, NameMap &names, IDManager &imgr,
                              std::vector<long long> &lits,
                              std::vector<long long> &coefs,
                              long long &constant) {
  std::unordered_map<long long, std::size_t> pos; // variable -> index
  int terms = 0;
  constant = 0;
  for (;;) {
    skip_space_and_comments(in); // a "*" line may split a long constraint
    int c = *in;
    if (c == ';' || c == '<' || c == '>' || c == '=')
      break;
    if (c == EOF)
      pb_parse_error("Unexpected end of input inside a constraint");
    if (starts_name(c))
      pb_parse_error("Coefficient expected before variable, found " + shown(c));
    long long a = FMTUtils::parseLongInt(in);
    skipWhitespace(in);
    std::string name = read_name(in);
    skipWhitespace(in);
    if (starts_name(*in))
      pb_parse_error("Non-linear term (product of variables) after " + name +
                     ": only linear constraints are supported");
    long long l = literal_of(name, names, imgr);
    long long v = std::llabs(l);
    // a * ~x = a - a * x
    if (l < 0) {
      constant = checked_add(constant, a);
      a = checked_sub(0, a);
    }
    auto it = pos.find(v);
    if (it == pos.end()) {
      pos.emplace(v, lits.size());
      lits.push_back(v);
      coefs.push_back(a);
    } else {
      coefs[it->second] = checked_add(coefs[it->second], a);
    }
    ++terms;
  }
  // Variables whose coefficients cancel drop out.
  std::size_t j = 0;
  for (std::size_t i = 0; i < lits.size(); ++i)
    if (coefs[i] != 0) {
      lits[j] = lits[i];
      coefs[j++] = coefs[i];
    }
  lits.resize(j);
  coefs.resize(j);
  return terms;
}

void read_terms(StreamBuffer &in, NameMap &names, IDManager &imgr,
                std::vector<long long> &lits, std::vector<long long> &coefs,
                long long &constant) {
  read_terms_counted(in, names, imgr, lits, coefs, constant);
}

void read_constraint(StreamBuffer &in, NameMap &names, IDManager &imgr,
                     PbConstraint &pc) {
  pc.lits.clear();
  pc.coefs.clear();
  long long constant = 0;
  if (read_terms_counted(in, names, imgr, pc.lits, pc.coefs, constant) == 0)
    pb_parse_error("Constraint without terms");
  pc.op = FMTUtils::parseInequality(in);
  pc.rhs = checked_sub(FMTUtils::parseLongInt(in), constant);
  skipWhitespace(in);
  if (*in != ';')
    pb_parse_error("';' expected after the right-hand side, found " +
                   shown(*in));
  ++in;
}

void normalize(PbConstraint &pc) {
  FMTUtils::normalize_constraint(pc.lits, pc.coefs, pc.op, pc.rhs);
}

long long coef_sum(const PbConstraint &pc) {
  long long s = 0;
  for (long long a : pc.coefs)
    s = checked_add(s, a);
  return s;
}

void encode_constraint(IDManager &imgr, BasicClauseSet &clset, PbConstraint &pc,
                       Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc) {
  const long long k = pc.rhs;
  if (pc.lits.empty()) {
    // 0 <= k or 0 = k: holds or never holds.
    bool holds = pc.op == -1 ? k >= 0 : k == 0;
    if (!holds) {
      LitVector none;
      clset.create_clause(none);
    }
    return;
  }
  coef_sum(pc); // every sum the encoders form stays within 64 bits
  bool unit = true;
  for (long long a : pc.coefs)
    unit = unit && a == 1;
  if (unit && (!is_amo_only(cenc) || k == 1)) {
    if (pc.op == -1)
      cnf_encode_atmostN(imgr, clset, pc.lits, k, cenc);
    else
      cnf_encode_equalsN(imgr, clset, pc.lits, k, cenc);
    return;
  }
  if (pc.op == -1)
    cnf_encode_atmostN(imgr, clset, pc.lits, pc.coefs, k, pbenc);
  else
    cnf_encode_equalsN(imgr, clset, pc.lits, pc.coefs, k, pbenc);
}

void add_cost_limit(IDManager &imgr, BasicClauseSet &clset, ClauseSink &sink,
                    const std::vector<long long> &lits,
                    const std::vector<long long> &weights, long long limit,
                    Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc) {
  const long long top = clset.get_top();
  if (limit < 0) {
    LitVector none;
    sink.add(clset.registry->create_clause(none), top, 1);
    return;
  }
  PbConstraint cost;
  long long sum = 0;
  for (std::size_t i = 0; i < lits.size(); ++i) {
    if (weights[i] > limit) {
      LitVector unit{-lits[i]};
      sink.add(clset.registry->create_clause(unit), top, 1);
    } else if (weights[i] > 0) {
      cost.lits.push_back(lits[i]);
      cost.coefs.push_back(weights[i]);
      sum = FMTUtils::add_capped(sum, weights[i], limit + 1);
    }
  }
  if (sum <= limit)
    return;
  cost.op = -1;
  cost.rhs = limit;
  TempSet tmp(clset);
  encode_constraint(imgr, tmp.set, cost, cenc, pbenc);
  sink.copy_from(tmp.set, top, 1);
}

ClauseSink::ClauseSink(BasicClauseSet &main) : main_(main) {}

void ClauseSink::add(BasicClause *c, long long w, long long group) {
  const long long top = main_.get_top();
  bool member = main_.contains(c);
  long long prior = 0;
  if (member) {
    auto it = soft_.find(c);
    prior = it == soft_.end() ? top : it->second;
  }
  main_.insert_clause(c);
  long long nw = w;
  if (member) {
    if (prior >= top || w >= top)
      nw = top;
    else
      nw = FMTUtils::add_capped(prior, w, top);
  }
  main_.set_cl_weight(c, nw);
  if (!(member && prior >= top && w < top))
    c->group = group; // a hard clause keeps its hard group
  if (c->weight < top)
    soft_[c] = c->weight;
  else
    soft_.erase(c);
}

void ClauseSink::copy_from(BasicClauseSet &tmp, long long w, long long group) {
  for (BasicClause *c : tmp.clauses())
    add(c, w, group);
}

void ClauseSink::rebase_top(long long new_top) {
  for (BasicClause *c : main_)
    if (c->weight >= new_top)
      c->weight = new_top;
  main_.set_top(new_top);
}

} // namespace pb_reading

using namespace pb_reading;

void parse_opb_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  NameMap names;
  ClauseSink sink(clset);
  auto &objective = ZORConfig::pbo_minimization_function;
  objective.clear();
  ZORConfig::pbo_cost_offset = 0;

  // Objective: "min: <terms> ;".
  skip_space_and_comments(in);
  std::vector<long long> vars, coefs;
  long long constant = 0;
  if (is_alpha(*in)) {
    std::string word = FMTUtils::readString(in);
    skipWhitespace(in);
    if (word == "max" || word == "max:")
      pb_parse_error("Maximisation objective (max:) is not supported; "
                     "negate its coefficients into a min: objective");
    if (word != "min" || *in != ':')
      pb_parse_error("Objective \"min:\" expected, found \"" + word + "\"");
    ++in;
    if (read_terms_counted(in, names, imgr, vars, coefs, constant) == 0)
      pb_parse_error("Objective without terms");
    skipWhitespace(in);
    if (*in != ';')
      pb_parse_error("';' expected at the end of the objective, found " +
                     shown(*in));
    ++in;
  }

  // Each objective variable x with coefficient a becomes one soft unit
  // clause: -x of weight a when a > 0, x of weight -a when a < 0. The cost of
  // an assignment is then the objective minus the constant and the negative
  // coefficients; the objective value itself is recomputed from
  // pbo_minimization_function when the result is printed.
  long long sum = 0;
  for (std::size_t i = 0; i < vars.size(); ++i) {
    long long a = coefs[i];
    sum = checked_add(sum, a < 0 ? checked_sub(0, a) : a);
  }
  clset.set_top(checked_add(sum, 1));
  long long group = 2;
  for (std::size_t i = 0; i < vars.size(); ++i) {
    long long x = vars[i], a = coefs[i];
    std::cout << "c mf: " << x << "-> " << a << "\n";
    objective[x] = a;
    if (a < 0)
      ZORConfig::pbo_cost_offset = checked_add(ZORConfig::pbo_cost_offset, a);
    LitVector unit{a > 0 ? -x : x};
    sink.add(clset.registry->create_clause(unit), a > 0 ? a : -a, group++);
  }
  if (constant != 0) {
    // The constant of "a ~x" terms: a variable fixed true carries it.
    long long one = imgr.new_id();
    LitVector unit{one};
    sink.add(clset.registry->create_clause(unit), clset.get_top(), 1);
    std::cout << "c mf: " << one << "-> " << constant << "\n";
    objective[one] = constant;
    ZORConfig::pbo_cost_offset =
        checked_add(ZORConfig::pbo_cost_offset, constant);
  }

  // Constraints, each into a set of its own, then hard into the main set.
  long long count = 0;
  const Card_CNF_Encodings cenc = ZORConfig::zorenc;
  const PB_CNF_Encodings pbenc = ZORConfig::zorpbenc;
  PbConstraint pc;
  for (;;) {
    skip_space_and_comments(in);
    if (*in == EOF)
      break;
    read_constraint(in, names, imgr, pc);
    normalize(pc);
    TempSet tmp(clset);
    encode_constraint(imgr, tmp.set, pc, cenc, pbenc);
    sink.copy_from(tmp.set, clset.get_top(), 1);
    ++count;
  }

  std::cout << "c constraints: " << count << "\n";
  std::cout << "c clauses " << clset.size() << " vars: " << imgr.top_id << "\n"
            << std::flush;
}
