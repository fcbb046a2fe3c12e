#include "coreguided/zor1_ror.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/resource.h>

#include "coreguided/refutation.hpp"
#include "coreguided/res_stats.hpp"
#include "coreguided/trivial_resolution.hpp"
#include "framework/sat_arith.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {

constexpr long long kMaxTraceBytes = 2000000;
constexpr long long kMaxProofBytes = 20000000;

// The file's size in bytes; false when it cannot be measured or is above
// limit (such a core counts as skipped).
bool measure(const std::string &name, long long limit, long long &bytes) {
  FILE *f = std::fopen(name.c_str(), "rb");
  if (!f)
    return false;
  bytes = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
  std::fclose(f);
  if (bytes > limit)
    ++ResStats::get_instance()->skipped_cores;
  return bytes >= 0 && bytes <= limit;
}

// User plus system CPU time of this process, in seconds.
double cpu_time() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The per-process files are removed on every way out of the run, the
// exits through Abort and the time-out included.
void remove_files_at_exit() {
  static bool registered = false;
  if (!registered)
    std::atexit(RefutationManager::remove_aux_files);
  registered = true;
}

} // namespace

long long ZOR1_ROR::solve() {
  // No at-most-one over the relaxation variables of one clause.
  ZORConfig::relate_relax_vars_thres = -1;
  num_input_vars = imgr->top_id;
  BasicClauseSet aux;
  std::string prefix = RefutationFiles::trace_prefix();
  TernWrapperSort sat(*imgr, *clset, *model, core, prefix.c_str(), 0, true);
  if (!Utils::file_exists("tracecheck")) {
    std::cout << "c File tracecheck should be in the same folder as kestrane."
              << "\n"
              << "c Aborting ..." << std::endl;
    std::exit(255);
  }
  remove_files_at_exit();
  TrivialResolution cliques;
  long long lb = cliques.simplify(*imgr, *clset);
  ResStats *stats = ResStats::get_instance();
  stats->empty_clauses += cliques.empty_clauses;
  long long uc = std::max(0LL, stats->empty_clauses);
  long long relaxed = 0;
  for (;;) {
    // A trace that the wrapper fails to write must not leave an older one.
    std::remove(RefutationFiles::trace().c_str());
    sat.init();
    if (sat.run_sat_solver() == 10) {
      sat.reset();
      if (ZORConfig::verbosity >= 30)
        std::cout << "c UC: " << uc << std::endl;
      RefutationManager::remove_aux_files();
      long long cost = cost_add(relaxed, lb);
      ZORToolObjects::keep_model(*model);
      return cost;
    }
    ++uc;
    if (transform_formula(*clset, *imgr, core, lb, aux)) {
      core.clear();
    } else {
      std::vector<long long> rvars;
      long long price = relax_core(rvars);
      if (price < 0) {
        RefutationManager::remove_aux_files();
        return -1;
      }
      add_card_constraint(rvars);
      relaxed = cost_add(relaxed, price);
    }
    sat.reset();
    check_cpu_timeout();
  }
}

bool ZOR1_ROR::transform_formula(BasicClauseSet &cls, IDManager &,
                                 std::vector<BasicClause *> &core,
                                 long long &lb, BasicClauseSet &aux) {
  ResStats *stats = ResStats::get_instance();
  std::string trace = RefutationFiles::trace();
  std::string proof = RefutationFiles::proof();
  std::string output = RefutationFiles::output();
  long long trace_bytes = 0, proof_bytes = 0;
  if (!measure(trace, kMaxTraceBytes, trace_bytes))
    return false;
  // The proof of an earlier core must never be read for this one.
  std::remove(proof.c_str());
  std::remove(output.c_str());
  double checker = 0;
  bool ran = AuxUtils::execute_tracecheck(trace, proof, output, &checker);
  stats->checker_time += checker;
  if (!ran || !Utils::file_exists(proof))
    return false;
  double start = cpu_time();
  if (!measure(proof, kMaxProofBytes, proof_bytes))
    return false;
  RefutationManager refutation(cls);
  bool verified = refutation.parse(proof);
  stats->parse_time += cpu_time() - start;
  stats->trace_total += trace_bytes / 1024;
  stats->proof_total += proof_bytes / 1024;
  if (!verified || !refutation.within(core))
    return false;
  start = cpu_time();
  refutation.check_properties(aux);
  if (refutation.is_hard())
    return false;
  refutation.transform(core);
  stats->transform_time += cpu_time() - start;
  if (!refutation.is_readonce())
    return false;
  // A read-once replay moves the proof's least weight, always above 0,
  // into the empty clause; the core is gone from the formula.
  if (refutation.get_gained() <= 0)
    Abort("Refutation replay derived no cost");
  lb = cost_add(lb, refutation.get_gained());
  return true;
}

void ZOR1_ROR::add_card_constraint(std::vector<long long> &rvars) {
  if (ZORConfig::zorenc == Card_CNF_Encodings::Ladder)
    Abort("Selected encoding not yet available. Please contact author.");
  ZOR1::add_card_constraint(rvars);
}
