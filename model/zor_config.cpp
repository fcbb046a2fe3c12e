#include "model/zor_config.hpp"
#include "model/zor_stats.hpp"

WboEncoding ZORConfig::wbo_encoding = WboEncoding::SAT10;
RelaxGroups ZORConfig::relax_groups = RelaxGroups::All;
SearchType ZORConfig::nrsrch_type = SearchType::PB;
MiddleType ZORConfig::middle_type = MiddleType::Value;
bool ZORConfig::is_global_cnstr_lt = true;
const char *ZORConfig::upper_bound_file = "";
BoundMode ZORConfig::upper_bound = BoundMode::Mode1;
BoundMode ZORConfig::lower_bound = BoundMode::Mode1;
long long ZORConfig::tool_timeout = 3600;
MS_Problems ZORConfig::zortype = MS_Problems::Plain;
ZOR_Releases ZORConfig::zorrel = ZOR_Releases::R1_2;
ZOR_Algorithms ZORConfig::zoralg = ZOR_Algorithms::ZOR1;
Iter_modes ZORConfig::itermode = Iter_modes::Default;
ZOR_Modes ZORConfig::zormode = ZOR_Modes::Default;
PB_CNF_Encodings ZORConfig::zorpbenc = PB_CNF_Encodings::BDD;
Card_CNF_Encodings ZORConfig::zorenc = Card_CNF_Encodings::Bitwise;
int ZORConfig::relate_relax_vars_thres = 3;
const char *ZORConfig::output_prefix = "c ";
std::map<long long, long long> ZORConfig::pbo_minimization_function;
long long ZORConfig::pbo_cost_offset = 0;
bool ZORConfig::hardening_rule = false;
bool ZORConfig::expert_mode = false;
bool ZORConfig::extended_mode = false;
int ZORConfig::alset_type = 0;
bool ZORConfig::optional_constraints = false;
int ZORConfig::add_global_cnstr = 0;
bool ZORConfig::trace_mode = false;
bool ZORConfig::filter_aux_vars = false;
bool ZORConfig::infer_lower_bound = false;
bool ZORConfig::cuts_from_cores = false;
bool ZORConfig::optlock = false;
bool ZORConfig::use_init_data = false;
bool ZORConfig::check_solution = false;
bool ZORConfig::lst_unsat_cls = false;
bool ZORConfig::lst_model = false;
long long ZORConfig::num_cubes = 0;
bool ZORConfig::enum_rv = false;
bool ZORConfig::enum_models = false;
bool ZORConfig::write_bmo_models = false;
bool ZORConfig::bmo_mode = false;
bool ZORConfig::incr_mode = false;
bool ZORConfig::use_added_relax_cls = false;
bool ZORConfig::relate_relax_vars = false;
bool ZORConfig::comp_format = false;
int ZORConfig::ver_parameter = 0;
std::string ZORConfig::file;
bool ZORConfig::logging = false;
int ZORConfig::verbosity = 0;

long long ZORStats::_num_init_vars = 0;
long long ZORStats::_num_init_cls = 0;
void *ZORStats::_model = nullptr;

namespace {
struct ReleasePreset {
  ZOR_Releases release;
  ZOR_Algorithms algorithm;
  Card_CNF_Encodings encoding;
};

// clang-format off
const ReleasePreset kReleasePresets[] = {
  {ZOR_Releases::R1_0,        ZOR_Algorithms::ZOR1,             Card_CNF_Encodings::Pairwise},
  {ZOR_Releases::R1_1,        ZOR_Algorithms::ZOR1,             Card_CNF_Encodings::SeqCounter},
  {ZOR_Releases::R1_2,        ZOR_Algorithms::ZOR1,             Card_CNF_Encodings::Bitwise},
  {ZOR_Releases::R2,          ZOR_Algorithms::ZOR2,             Card_CNF_Encodings::Bitwise},
  {ZOR_Releases::R3_0,        ZOR_Algorithms::ZOR3,             Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::R31,         ZOR_Algorithms::ZOR31,            Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::R30,         ZOR_Algorithms::ZOR30,            Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::R4_0,        ZOR_Algorithms::ZOR4,             Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::Bin,         ZOR_Algorithms::BinarySearch,     Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::BinCore,     ZOR_Algorithms::BinarySearchCore, Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::BinCoreDis,  ZOR_Algorithms::BinarySearchCoreDisjoint,  Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::BCD2,        ZOR_Algorithms::BinarySearchCoreDisjoint2, Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::LinUnsatSat, ZOR_Algorithms::LinearUnsatSat,   Card_CNF_Encodings::CardNetworks},
  {ZOR_Releases::LinSatUnsat, ZOR_Algorithms::LinearSatUnsat,   Card_CNF_Encodings::CardNetworks},
};
// clang-format on
} // namespace

void ZORConfig::set_release(ZOR_Releases r) {
  zorrel = r;
  relate_relax_vars = true;
  relate_relax_vars_thres = 3;
  for (const ReleasePreset &p : kReleasePresets)
    if (p.release == r) {
      zoralg = p.algorithm;
      zorenc = p.encoding;
      return;
    }
}
