// The solver facade: settings from option texts, clause operations on the
// bound set, loading, solving (with the optional model check), model-cube
// enumeration and the listing of falsified soft clauses.
#include "driver/zorapp.hpp"

#include <cstring>
#include <iostream>

#include "coreguided/preprocess.hpp"
#include "driver/solver_api.hpp"
#include "driver/startup.hpp"
#include "formats/wbo_reader.hpp"
#include "framework/sat_arith.hpp"
#include "framework/zero_weight.hpp"
#include "model/clause_snapshot.hpp"
#include "model/logger.hpp"
#include "model/mxutils.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_stats.hpp"
#include "model/zor_tool_objects.hpp"

KestraneExtended *KestraneExtended::zor = nullptr;

namespace {
// The facade whose kept input abort_beyond_64_bits checks first, or null.
KestraneExtended *g_checked_facade = nullptr;
} // namespace

KestraneExtended &Kestrane::instance() {
  return KestraneExtended::bind_instance();
}

KestraneExtended &KestraneExtended::bind_instance() {
  if (!zor)
    zor = new KestraneExtended();
  return *zor;
}

void KestraneExtended::release_instance() {
  delete zor;
  zor = nullptr;
}

KestraneExtended::KestraneExtended() = default;

KestraneExtended::~KestraneExtended() {
  if (g_checked_facade == this) {
    g_checked_facade = nullptr;
    set_beyond_64_bits_hook(nullptr);
  }
  drop_solver();
}

void KestraneExtended::drop_solver() {
  if (solver_) {
    solver_api::reset(solver_);
    solver_api::destroy(solver_);
    solver_ = nullptr;
  }
}

namespace {

bool is(const char *text, const char *word) {
  return std::strcmp(text, word) == 0;
}

// Pairs of option text and code, compared whole in table order.
template <typename Code> struct TextCode {
  const char *text;
  Code code;
};

template <typename Code, std::size_t N>
bool lookup(const TextCode<Code> (&table)[N], const char *text, Code &code) {
  if (!text)
    return false;
  for (const TextCode<Code> &e : table)
    if (is(text, e.text)) {
      code = e.code;
      return true;
    }
  return false;
}

// clang-format off
const TextCode<ZOR_Releases> kReleaseTexts[] = {
  {"1.0", ZOR_Releases::R1_0}, {"1.1", ZOR_Releases::R1_1},
  {"1.2", ZOR_Releases::R1_2}, {"3.0", ZOR_Releases::R3_0},
  {"4.0", ZOR_Releases::R4_0}, {"bin", ZOR_Releases::Bin},
  {"bin-core", ZOR_Releases::BinCore}, {"bin-core-dis", ZOR_Releases::BinCoreDis},
  {"bcd2", ZOR_Releases::BCD2},
};

const TextCode<ZOR_Algorithms> kAlgorithmTexts[] = {
  {"1", ZOR_Algorithms::ZOR1},
  {"3", ZOR_Algorithms::ZOR3},
  {"4", ZOR_Algorithms::ZOR4},
  {"bin", ZOR_Algorithms::BinarySearch},
  {"bin-core", ZOR_Algorithms::BinarySearchCore},
  {"bc", ZOR_Algorithms::BinarySearchCore},
  {"bin-core-dis", ZOR_Algorithms::BinarySearchCoreDisjoint},
  {"bcd", ZOR_Algorithms::BinarySearchCoreDisjoint},
  {"bin-core-dis2", ZOR_Algorithms::BinarySearchCoreDisjoint2},
  {"bcd2", ZOR_Algorithms::BinarySearchCoreDisjoint2},
  {"bin-core-dis2strat", ZOR_Algorithms::BinarySearchCoreDisjoint2Strat},
  {"bcd2strat", ZOR_Algorithms::BinarySearchCoreDisjoint2Strat},
};

const TextCode<Card_CNF_Encodings> kCardTexts[] = {
  {"e", Card_CNF_Encodings::Pairwise},   {"a", Card_CNF_Encodings::NoEncoderA},
  {"b", Card_CNF_Encodings::BDD},        {"i", Card_CNF_Encodings::NoEncoderI},
  {"sc", Card_CNF_Encodings::SeqCounter}, {"sn", Card_CNF_Encodings::SortNetworks},
  {"cn", Card_CNF_Encodings::CardNetworks}, {"l", Card_CNF_Encodings::Bitwise},
  {"ld", Card_CNF_Encodings::Ladder},
};

const TextCode<PB_CNF_Encodings> kPbTexts[] = {
  {"b", PB_CNF_Encodings::BDD},           {"sn", PB_CNF_Encodings::SortNetworks},
  {"w", PB_CNF_Encodings::Warners},       {"we", PB_CNF_Encodings::WarnersEquiv},
  {"wi", PB_CNF_Encodings::WarnersImpl},  {"sc", PB_CNF_Encodings::SeqWeightedCounters},
};

// Global-constraint encodings: the PB codes without sequential counters.
const TextCode<int> kGlobalCnstrTexts[] = {
  {"b", 1}, {"sn", 2}, {"w", 3}, {"we", 4}, {"wi", 5},
};

const TextCode<MiddleType> kMiddleTexts[] = {
  {"order", MiddleType::Order}, {"value", MiddleType::Value},
  {"biased", MiddleType::Biased},
};
const TextCode<SearchType> kSearchTexts[] = {
  {"all", SearchType::All}, {"pb", SearchType::PB},
};
const TextCode<RelaxGroups> kRelaxGroupTexts[] = {
  {"core", RelaxGroups::Core}, {"all", RelaxGroups::All},
};
const TextCode<WboEncoding> kWboTexts[] = {
  {"groups", WboEncoding::Groups}, {"SAT10", WboEncoding::SAT10},
};
// clang-format on

BoundMode bound_mode(const char *text) {
  if (text && is(text, "0"))
    return BoundMode::Mode0;
  if (text && is(text, "1"))
    return BoundMode::Mode1;
  return BoundMode::Other;
}

// Splits "A:B" at the first colon; without a colon all of it is A.
void split_at_colon(const char *text, std::string &a, std::string &b) {
  std::string s = text ? text : "";
  std::size_t p = s.find(':');
  if (p == std::string::npos) {
    a = s;
    b.clear();
  } else {
    a = s.substr(0, p);
    b = s.substr(p + 1);
  }
}

const char *prefix() { return ZORConfig::comp_format ? "c " : ""; }

} // namespace

// ---- Binding and lifecycle -------------------------------------------------

void KestraneExtended::init() {
  initialised_ = true;
  bound_externally_ = imgr_ != nullptr;
  // Own data objects stand in for those the caller did not bind.
  if (!imgr_) {
    own_imgr_ = std::make_unique<IDManager>();
    imgr_ = own_imgr_.get();
  }
  if (!clset_) {
    own_clset_ = std::make_unique<BasicClauseSet>();
    clset_ = own_clset_.get();
  }
  if (!model_) {
    own_model_ = std::make_unique<std::vector<long long>>();
    model_ = own_model_.get();
  }
  mk_solver();
  solver_api::init(solver_, *imgr_, *clset_, *model_);
  LogUtils::set_tool_log_names("Kestrane", "ZOR");
}

void KestraneExtended::init(IDManager &imgr, BasicClauseSet &clset,
                            std::vector<long long> &model) {
  imgr_ = &imgr;
  clset_ = &clset;
  model_ = &model;
  bound_externally_ = true;
  initialised_ = true;
  mk_solver();
  solver_api::init(solver_, imgr, clset, model);
}

void KestraneExtended::reset() {
  // The solver only holds references to the data: drop it first. Then
  // forget the caller's objects and destroy the own ones.
  drop_solver();
  initialised_ = false;
  bound_externally_ = false;
  imgr_ = nullptr;
  clset_ = nullptr;
  model_ = nullptr;
  own_clset_.reset();
  own_imgr_.reset();
  own_model_.reset();
  input_ = ClauseSnapshot();
  input_kept_ = false;
  if (g_checked_facade == this) {
    g_checked_facade = nullptr;
    set_beyond_64_bits_hook(nullptr);
  }
}

// ---- Problem type and settings ---------------------------------------------

void KestraneExtended::set_prob_plain_maxsat() {
  ZORConfig::zortype = MS_Problems::Plain;
}
void KestraneExtended::set_prob_partial_maxsat() {
  ZORConfig::zortype = MS_Problems::Partial;
}
void KestraneExtended::set_prob_weighted_maxsat() {
  ZORConfig::zortype = MS_Problems::Weighted;
}
void KestraneExtended::set_prob_soft_cnf() {
  ZORConfig::zortype = MS_Problems::SoftCnf;
}

void KestraneExtended::set_release(const char *rel) {
  ZOR_Releases code;
  if (!lookup(kReleaseTexts, rel, code))
    Abort("Invalid ZOR release");
  ZORConfig::set_release(code);
}

void KestraneExtended::set_algorithm(const char *alg) {
  ZOR_Algorithms code;
  if (!lookup(kAlgorithmTexts, alg, code))
    Abort("Invalid ZOR algorithm");
  if (!ZORConfig::optlock)
    ZORConfig::zoralg = code;
}

void KestraneExtended::set_card_encoding(const char *enc) {
  Card_CNF_Encodings code;
  if (!lookup(kCardTexts, enc, code))
    Abort("Invalid CNF encoding");
  if (!ZORConfig::optlock)
    ZORConfig::zorenc = code;
}

void KestraneExtended::set_pb_encoding(const char *enc) {
  PB_CNF_Encodings code;
  if (!lookup(kPbTexts, enc, code))
    Abort("Invalid CNF PB encoding");
  if (!ZORConfig::optlock)
    ZORConfig::zorpbenc = code;
}

void KestraneExtended::set_encodings(const char *enc) {
  std::string card, pb;
  split_at_colon(enc, card, pb);
  if (!enc || !std::strchr(enc, ':')) {
    set_card_encoding(card.c_str());
    return;
  }
  if (!card.empty())
    set_card_encoding(card.c_str());
  if (!pb.empty())
    set_pb_encoding(pb.c_str());
}

void KestraneExtended::set_relate_relax_vars(int n) {
  ZORConfig::relate_relax_vars = true;
  ZORConfig::relate_relax_vars_thres = n;
}

void KestraneExtended::set_use_added_cls() {
  ZORConfig::use_added_relax_cls = true;
}
void KestraneExtended::set_bmo_mode() { ZORConfig::bmo_mode = true; }

void KestraneExtended::set_enumerate_models() {
  ZORConfig::enum_models = true;
  ZORConfig::num_cubes = -1;
}
void KestraneExtended::set_enumerate_models(long long n) {
  ZORConfig::enum_models = true;
  ZORConfig::num_cubes = n;
}
bool KestraneExtended::get_enum_models() {
  if (!ZORConfig::enum_models)
    return false;
  return ZORConfig::num_cubes < 0 || cube_count_ <= ZORConfig::num_cubes;
}
void KestraneExtended::set_enum_orig_vars() { ZORConfig::enum_rv = false; }
void KestraneExtended::set_enum_relax_vars() { ZORConfig::enum_rv = true; }

void KestraneExtended::set_runtime_defaults() {
  set_verbosity(1);
  ZORConfig::set_release(ZOR_Releases::R1_2);
  set_comp_format();
  ZORConfig::lst_model = true;
  ZORConfig::upper_bound = BoundMode::Mode1;
  ZORConfig::lower_bound = BoundMode::Mode1;
  ZORConfig::add_global_cnstr = 0;
}

void KestraneExtended::set_compute_model() { ZORConfig::lst_model = true; }
void KestraneExtended::unset_compute_model() { ZORConfig::lst_model = false; }
bool KestraneExtended::get_compute_model() { return ZORConfig::lst_model; }
void KestraneExtended::set_timeout(long long seconds) {
  ZORConfig::tool_timeout = seconds;
}
void KestraneExtended::set_verbosity(int v) {
  ZORConfig::verbosity = v;
  LogUtils::set_log_verbosity(v);
}
int KestraneExtended::get_verbosity() { return ZORConfig::verbosity; }
void KestraneExtended::set_logging() { ZORConfig::logging = true; }
bool KestraneExtended::get_logging() { return ZORConfig::logging; }
void KestraneExtended::set_comp_format() {
  ZORConfig::comp_format = true;
  ZORConfig::output_prefix = "c ";
}
void KestraneExtended::unset_comp_format() {
  ZORConfig::comp_format = false;
  ZORConfig::output_prefix = "";
}
bool KestraneExtended::get_comp_format() { return ZORConfig::comp_format; }
void KestraneExtended::set_lst_unsat_cls() { ZORConfig::lst_unsat_cls = true; }
void KestraneExtended::unset_lst_unsat_cls() {
  ZORConfig::lst_unsat_cls = false;
}
bool KestraneExtended::get_lst_unsat_cls() { return ZORConfig::lst_unsat_cls; }
void KestraneExtended::set_check_solution() {
  ZORConfig::check_solution = true;
}
void KestraneExtended::unset_check_solution() {
  ZORConfig::check_solution = false;
}
bool KestraneExtended::get_check_solution() {
  return ZORConfig::check_solution;
}
void KestraneExtended::set_ver_parameter(int p) {
  ZORConfig::ver_parameter = p;
}
int KestraneExtended::get_ver_parameter() { return ZORConfig::ver_parameter; }
void KestraneExtended::set_upper_bound(const char *mode) {
  ZORConfig::upper_bound = bound_mode(mode);
}
BoundMode KestraneExtended::get_upper_bound() { return ZORConfig::upper_bound; }
void KestraneExtended::set_lower_bound(const char *mode) {
  ZORConfig::lower_bound = bound_mode(mode);
}
BoundMode KestraneExtended::get_lower_bound() { return ZORConfig::lower_bound; }
void KestraneExtended::set_upper_bound_file(const char *name) {
  ZORConfig::upper_bound_file = name; // the caller's text, not copied
}
const char *KestraneExtended::get_upper_bound_file() {
  return ZORConfig::upper_bound_file;
}
void KestraneExtended::set_optional_constraints() {
  ZORConfig::optional_constraints = true;
}
bool KestraneExtended::get_optional_constraints() {
  return ZORConfig::optional_constraints;
}

void KestraneExtended::set_add_global_cnstr(const char *spec) {
  std::string enc, rel;
  split_at_colon(spec, enc, rel);
  if (!enc.empty()) {
    int code;
    if (!lookup(kGlobalCnstrTexts, enc.c_str(), code))
      Abort("Invalid CNF PB encoding for GC");
    if (!ZORConfig::optlock)
      ZORConfig::add_global_cnstr = code;
  }
  if (!rel.empty()) {
    bool lt;
    if (rel == "lt")
      lt = true;
    else if (rel == "le")
      lt = false;
    else
      Abort("Invalid setting for GC type");
    if (!ZORConfig::optlock)
      ZORConfig::is_global_cnstr_lt = lt;
  }
}
void KestraneExtended::unset_add_global_cnstr() {
  ZORConfig::add_global_cnstr = 0;
}
int KestraneExtended::get_add_global_cnstr() {
  return ZORConfig::add_global_cnstr;
}

void KestraneExtended::set_middle_type(const char *type) {
  if (!lookup(kMiddleTexts, type, ZORConfig::middle_type))
    Abort("Invalid type of middle");
}
MiddleType KestraneExtended::get_middle_type() {
  return ZORConfig::middle_type;
}
void KestraneExtended::set_nr_search_type(const char *type) {
  if (!lookup(kSearchTexts, type, ZORConfig::nrsrch_type))
    Abort("Invalid type of NR search");
}
SearchType KestraneExtended::get_nr_search_type() {
  return ZORConfig::nrsrch_type;
}
void KestraneExtended::set_atLeast(int type) {
  if (type < 0 || type > 3)
    Abort("Invalid type of atLeast constraints (0, 1, 2 or 3)");
  ZORConfig::alset_type = type;
}
int KestraneExtended::get_atLeast() { return ZORConfig::alset_type; }
void KestraneExtended::set_relax_on_demand_gmxsat(const char *groups) {
  if (!lookup(kRelaxGroupTexts, groups, ZORConfig::relax_groups))
    Abort("Invalid type of group relaxation (core or all)");
}
RelaxGroups KestraneExtended::get_relax_on_demand_gmxsat() {
  return ZORConfig::relax_groups;
}
void KestraneExtended::set_wbo_encoding(const char *enc) {
  if (!lookup(kWboTexts, enc, ZORConfig::wbo_encoding))
    Abort("Invalid WBO encoding (groups or SAT10)");
}
WboEncoding KestraneExtended::get_wbo_encoding() {
  return ZORConfig::wbo_encoding;
}
void KestraneExtended::set_hardening_rule() {
  ZORConfig::hardening_rule = true;
}
bool KestraneExtended::get_hardening_rule() {
  return ZORConfig::hardening_rule;
}

void KestraneExtended::print_stats() {
  Info("No stats currently provided by Kestrane");
  std::exit(ExitStatus::Failure);
}

void KestraneExtended::set_incr_mode() { ZORConfig::incr_mode = true; }
void KestraneExtended::set_write_bmo_models() {
  ZORConfig::write_bmo_models = true;
}
void KestraneExtended::set_file(const std::string &name) {
  ZORConfig::file = name;
}
std::string KestraneExtended::get_file() { return ZORConfig::file; }
void KestraneExtended::set_extended_mode() { ZORConfig::extended_mode = true; }
void KestraneExtended::unset_extended_mode() {
  ZORConfig::extended_mode = false;
}
bool KestraneExtended::get_extended_mode() { return ZORConfig::extended_mode; }
void KestraneExtended::set_expert_mode() { ZORConfig::expert_mode = true; }
void KestraneExtended::unset_expert_mode() { ZORConfig::expert_mode = false; }
bool KestraneExtended::get_expert_mode() { return ZORConfig::expert_mode; }
void KestraneExtended::set_cutscores_mode() {
  ZORConfig::cuts_from_cores = true;
}
void KestraneExtended::unset_cutscores_mode() {
  ZORConfig::cuts_from_cores = false;
}
bool KestraneExtended::get_cutscores_mode() {
  return ZORConfig::cuts_from_cores;
}
void KestraneExtended::set_infer_lower_bound() {
  ZORConfig::infer_lower_bound = true;
}
void KestraneExtended::unset_infer_lower_bound() {
  ZORConfig::infer_lower_bound = false;
}
bool KestraneExtended::get_infer_lower_bound() {
  return ZORConfig::infer_lower_bound;
}
void KestraneExtended::set_filter_aux_vars() {
  ZORConfig::filter_aux_vars = true;
}
void KestraneExtended::unset_filter_aux_vars() {
  ZORConfig::filter_aux_vars = false;
}
bool KestraneExtended::get_filter_aux_vars() {
  return ZORConfig::filter_aux_vars;
}
void KestraneExtended::set_trace_mode() { ZORConfig::trace_mode = true; }
void KestraneExtended::unset_trace_mode() { ZORConfig::trace_mode = false; }
bool KestraneExtended::get_trace_mode() { return ZORConfig::trace_mode; }
void KestraneExtended::set_zor_mode(ZOR_Modes m) { ZORConfig::zormode = m; }
ZOR_Modes KestraneExtended::get_zor_mode() { return ZORConfig::zormode; }
void KestraneExtended::set_iter_mode(Iter_modes m) { ZORConfig::itermode = m; }
Iter_modes KestraneExtended::get_iter_mode() { return ZORConfig::itermode; }
std::map<long long, long long> &KestraneExtended::get_pbo_min_function() {
  return ZORConfig::pbo_minimization_function;
}

// ---- Clauses and loading ---------------------------------------------------

namespace {
// Raises the top id to the clause's largest variable (its last literal).
void raise_top_id(IDManager *imgr, const BasicClause *c) {
  if (!imgr || !c || c->lits.empty())
    return;
  unsigned long long v = mxutils::detail::var_of(c->lits.back());
  if (v <= static_cast<unsigned long long>(LLONG_MAX) &&
      static_cast<long long>(v) > imgr->top_id)
    imgr->top_id = static_cast<long long>(v);
}
} // namespace

BasicClause *KestraneExtended::create_clause(long long n,
                                             const long long *lits) {
  input_kept_ = false;
  BasicClause *c = clset_->create_clause(n, lits);
  raise_top_id(imgr_, c);
  return c;
}
BasicClause *KestraneExtended::create_clause(std::vector<long long> &lits) {
  input_kept_ = false;
  BasicClause *c = clset_->create_clause(lits);
  raise_top_id(imgr_, c);
  return c;
}
BasicClause *KestraneExtended::create_unit_clause(long long a) {
  std::vector<long long> v{a};
  return create_clause(v);
}
BasicClause *KestraneExtended::create_binary_clause(long long a, long long b) {
  std::vector<long long> v{a, b};
  return create_clause(v);
}
BasicClause *KestraneExtended::create_ternary_clause(long long a, long long b,
                                                     long long c) {
  std::vector<long long> v{a, b, c};
  return create_clause(v);
}
void KestraneExtended::set_clause_hard(BasicClause *c) {
  input_kept_ = false;
  clset_->set_cl_weight(c, clset_->top_weight);
}
void KestraneExtended::set_clause_soft(BasicClause *c) {
  input_kept_ = false;
  clset_->set_cl_weight(c, 1);
}
void KestraneExtended::set_clause_soft_group(BasicClause *c, long long g) {
  input_kept_ = false;
  clset_->set_cl_group(c, g);
}
void KestraneExtended::set_clause_weight(BasicClause *c, long long w) {
  input_kept_ = false;
  clset_->set_cl_weight(c, w);
}

bool KestraneExtended::load_file(const char *name) {
  if (!name || !imgr_ || !clset_)
    return false;
  MS_Problems type = solver_api::read_input(name, *imgr_, *clset_);
  input_kept_ = false;
  // A WBO file's models are costed on its soft constraints.
  input_.cost_on(take_wbo_soft_constraints());
  ZORConfig::file = name;
  ZORConfig::zortype = type;
  if (ZORConfig::expert_mode) {
    preprocess::find_partitions(imgr_->top_id, *clset_);
    preprocess::get_weight_distrib(*clset_);
  }
  clset_->compute_soft_cl_properties();
  refuse_unreachable_ceiling();
  return true;
}

void KestraneExtended::refuse_unreachable_ceiling() {
  if (!clset_->ceiling_soft)
    return;
  std::vector<LitVector> hard, ceiling;
  for (BasicClause *c : *clset_)
    if (c->weight >= clset_->top_weight)
      (c->weight == BasicClauseSet::kMaxWeight ? ceiling : hard)
          .emplace_back(c->lits.begin(), c->lits.end());
  if (ceiling.empty())
    return;
  std::vector<const LitVector *> cls;
  for (const LitVector &c : hard)
    cls.push_back(&c);
  for (const LitVector &c : ceiling)
    cls.push_back(&c);
  bool fits = solver_api::satisfiable(cls);
  check_cpu_timeout();
  // With the hard clauses unsatisfiable, solving answers so.
  cls.resize(hard.size());
  if (!fits && solver_api::satisfiable(cls))
    abort_beyond_64_bits("Cost");
  check_cpu_timeout();
}

// ---- Solving ----------------------------------------------------------------

bool KestraneExtended::solve() {
  keep_input();
  const long long nvars = imgr_->top_id;
  ZORStats::_num_init_vars = nvars;
  ZORStats::_num_init_cls = static_cast<long long>(clset_->size());
  if (!solver_) {
    mk_solver();
    solver_api::init(solver_, *imgr_, *clset_, *model_);
  }
  {
    // Clauses of weight 0 cost nothing whatever the model: every algorithm
    // solves without them (relaxing them would add cores of price 0 and
    // count them in cardinality bounds), and they are back for the output.
    // An answer at the cost ceiling may be a saturated sum: refused.
    ZeroWeightClauses zero(*clset_);
    cost_ = exact_cost(solver_api::solve(solver_));
  }
  check_result(cost_, nvars);
  return cost_ >= 0;
}

void KestraneExtended::keep_input() {
  if (input_kept_ || !clset_)
    return;
  input_.take(*clset_);
  input_kept_ = true;
  g_checked_facade = this;
  set_beyond_64_bits_hook(answer_unsat_if_hard_part_fails);
}

void KestraneExtended::answer_unsat_if_hard_part_fails() {
  KestraneExtended *f = g_checked_facade;
  // A kept model satisfies every hard clause of the input.
  if (!f || !f->input_kept_ || ZORToolObjects::kept_model())
    return;
  std::vector<const LitVector *> hard;
  for (const ClauseSnapshot::Clause &c : f->input_.clauses())
    if (c.hard)
      hard.push_back(&c.lits);
  if (solver_api::satisfiable(hard))
    return;
  std::vector<long long> no_model;
  print_results(*f, no_model, 0, -1, false);
  std::exit(ExitStatus::Normal);
}

void KestraneExtended::check_result(long long cost, long long nvars) {
  if (cost < 0 || !model_)
    return;
  // Unassigned input variables are false: the model line prints them so,
  // and the check must judge the model that is printed.
  std::vector<long long> &model = *model_;
  if (nvars > 0 && model.size() < static_cast<std::size_t>(nvars) + 1)
    model.resize(static_cast<std::size_t>(nvars) + 1, 0);
  for (long long v = 1; v <= nvars; ++v)
    if (model[static_cast<std::size_t>(v)] == 0)
      model[static_cast<std::size_t>(v)] = -1;
  if (!ZORConfig::check_solution || !input_kept_)
    return;
  std::cout << prefix() << "Validating model ..." << std::endl;
  ClauseSnapshot::Result r = input_.check(model);
  if (ZORConfig::verbosity >= 6) {
    std::cout << prefix()
              << "Unsat cls: " << r.hard_falsified + r.soft_falsified
              << std::endl;
    std::cout << prefix() << "Computed min cost: " << cost
              << " vs. Unsat cost: " << r.cost << std::endl;
  }
  bool ok = r.hard_ok && r.cost == cost;
  std::cout << prefix() << "Model" << (ok ? "" : " not") << " validated"
            << std::endl;
}

bool KestraneExtended::iter_solve() {
  if (!ZORConfig::enum_models)
    return false;
  if (!solver_) {
    mk_solver();
    solver_api::init(solver_, *imgr_, *clset_, *model_);
  }
  long long r;
  {
    ZeroWeightClauses zero(*clset_);
    r = exact_cost(solver_api::solve(solver_));
  }
  if (cube_count_ == 0)
    cost_ = r;
  else if (r != 0)
    return false;
  ++cube_count_;
  return get_enum_models();
}

int KestraneExtended::get_num_init_vars() {
  return static_cast<int>(ZORStats::_num_init_vars);
}
int KestraneExtended::get_num_init_cls() {
  return static_cast<int>(ZORStats::_num_init_cls);
}

int KestraneExtended::get_var(long long) { Abort("Unable to provide models"); }

void KestraneExtended::get_relaxation_vars(std::vector<long long> &out) {
  solver_api::relaxation_vars(solver_, out);
}

bool KestraneExtended::chk_unsat_clause(BasicClause *c) {
  return solver_api::chk_unsat_clause(solver_, c);
}

void KestraneExtended::prt_all_unsat_clauses() {
  const char *pfx = prefix();
  std::cout << pfx << "Unsat Clauses:" << std::endl;
  if (input_kept_ && model_) {
    // The soft clauses of the input as read that make up the cost.
    for (const ClauseSnapshot::Clause *c : input_.falsified(*model_)) {
      if (c->hard || c->weight <= 0)
        continue;
      std::cout << pfx;
      for (long long l : c->lits)
        std::cout << l << " ";
      std::cout << "0" << std::endl;
    }
    return;
  }
  if (!clset_)
    return;
  const long long ninit = ZORStats::_num_init_vars;
  for (BasicClause *c : clset_->clauses()) {
    if (!chk_unsat_clause(c))
      continue;
    std::cout << pfx;
    for (long long l : c->lits) {
      unsigned long long v = mxutils::detail::var_of(l);
      if (ninit < 0 || v > static_cast<unsigned long long>(ninit))
        break; // relaxation variables follow the input literals
      std::cout << l << " ";
    }
    std::cout << "0" << std::endl;
  }
}
