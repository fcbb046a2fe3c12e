// Reading and replaying resolution refutations of unsatisfiable cores. An
// external proof checker turns the SAT engine's trace of one core into a
// proof whose every derived clause resolves exactly two earlier ones. The
// reader checks that proof strictly (a proof that does not verify is
// rejected, never half used), classifies each step as hard or soft and as
// read-once or not, and replays the read-once steps by MaxSAT resolution on
// the working clause set and the core: when the whole refutation is
// read-once, the core's cost becomes a lower bound without relaxation.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/basic_clset.hpp"

// One line of a proof.
struct RefutationStep {
  long long id = 0;
  std::vector<long long> antecedents; // exactly two for a derived step
  std::vector<long long> lits;        // normalised as the registry keys them
  // Input step: the clause of the set with these literals; derived step:
  // null until the replay sets it to the resolvent.
  BasicClause *clause = nullptr;
  unsigned long long uses = 0; // derived steps naming this one
  int state = 0;               // 0 not computed, 1 read-once, 2 not
  int type = 0;                // 0 not computed, 1 soft, 2 hard
  bool input = false;
};

class RefutationManager {
public:
  explicit RefutationManager(BasicClauseSet &cls);
  ~RefutationManager();
  RefutationManager(const RefutationManager &) = delete;
  RefutationManager &operator=(const RefutationManager &) = delete;

  // Reads the proof file. False when it is not a refutation of the set's
  // clauses: a malformed or unterminated line, a repeated id, an input step
  // with antecedents or with a clause the set does not hold, a derived step
  // without exactly two earlier antecedents that clash on one variable and
  // resolve to its literals, or a last step that is not a derived empty
  // clause. A file that cannot be opened ends the run (status 1).
  bool parse(const std::string &file);
  bool read_step_extended(const std::string &line);
  // Whether every soft input clause of the proof belongs to the core, so
  // that the proof is one of this core (the replay moves the core).
  bool within(const std::vector<BasicClause *> &core) const;
  // Counts uses, the cost (least weight among the input steps), the type of
  // the last step and the read-once states of the steps it rests on.
  void check_properties(BasicClauseSet &aux);
  void compute_clause_type(RefutationStep *step);
  void compute_ror_state(RefutationStep *step, BasicClauseSet &aux);
  // Replays every read-once step by MaxSAT resolution, moving the core from
  // parents to resolvents, then drops the clauses left at weight 0 from the
  // set and the core.
  void transform(std::vector<BasicClause *> &core);

  bool is_input(const RefutationStep *s) const { return s->id <= input_count_; }
  bool is_empty() const { return steps_.empty(); }
  long long get_max_id() const { return max_id_; }
  bool is_hard() const;
  bool is_readonce() const;
  long long get_cost() const { return cost_; }
  // The weight that the replay gave the empty clause (0 before transform).
  long long get_gained() const { return gained_; }
  void show() const;
  void restricted_show() const;
  // Deletes this process's trace, proof and output files, ignoring
  // failures.
  static void remove_aux_files();

private:
  RefutationStep *step(long long id) const;
  void show_step(const RefutationStep *s) const;
  void drop_null_clauses(std::vector<BasicClause *> &core);

  long long cost_;
  long long input_count_ = 0;
  long long max_id_ = -1;
  long long gained_ = 0;
  bool lines_ok_ = true;
  std::map<long long, RefutationStep *> steps_;
  std::set<BasicClause *> input_clauses_;
  BasicClauseSet &cls_;
};

namespace ResolUtils {
// Erases the first occurrence of c from v; an absent clause ends the run
// with "c Clause not found " (status 255).
void RemoveClauseVectorSet(BasicClause *c, std::vector<BasicClause *> &v);
} // namespace ResolUtils

namespace Utils {
// Whether the file can be opened for reading.
bool file_exists(const std::string &name);
} // namespace Utils

namespace AuxUtils {
std::string intToString(int n);
// Runs "./tracecheck -B proof trace -o output" without a shell and waits
// for it; time receives its CPU time. True when it exited with status 0.
bool execute_tracecheck(const std::string &trace, const std::string &proof,
                        const std::string &output, double *time);
} // namespace AuxUtils

// The per-process files of the refutation road.
namespace RefutationFiles {
std::string trace_prefix(); // the SAT wrapper adds "-f0.txt"
std::string trace();
std::string proof();
std::string output();
} // namespace RefutationFiles
