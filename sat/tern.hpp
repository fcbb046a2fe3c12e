// Tern: the CDCL SAT engine of Kestrane.
//
// A conflict-driven clause-learning SAT solver with assumptions,
// unsatisfiable-core extraction and resolution proof traces. It follows the
// two-watched-literal CDCL design (binary clauses in lists of their own,
// first-UIP learning with recursive minimisation, activity-based decisions
// with phase saving, Luby restarts vetoed by the phase-flip rate, activity
// based learned-clause reduction). Every heuristic quantity uses the 32-bit
// software float of sat/tern_score.hpp, so runs are identical on every
// platform.
//
// The engine is one process-wide state behind a plain function interface:
// there is at most one engine at a time. States: RESET (before `tern_init`
// and after `tern_reset`), READY, SAT, UNSAT, UNKNOWN. From SAT, UNSAT or
// UNKNOWN the next `tern_add`, `tern_assume`, `tern_sat` or
// `tern_remove_learned` first returns to READY ("incremental reset":
// backtrack to level 0, forget assumptions, failed set and core marks).
//
// Literals are DIMACS style: +v is variable v, -v its negation, 0 ends a
// clause. Variables are numbered from 1 and created on first use. Literal
// parameters are 64-bit so that the callers' 64-bit literals arrive
// unchanged: the engine indexes variables 1 .. 2147483647 only and refuses a
// larger variable with a usage message instead of silently narrowing it.
//
// Misuse of the interface writes one line starting "*** tern: " to the
// standard error stream and aborts the process (no error codes).
#pragma once

#include <cstddef>
#include <cstdio>

// ---------------------------------------------------------------------------
// Life cycle and options.

// requires: RESET. Creates an empty engine (state READY): verbosity 0,
// default phase 2, prefix "c ", output stdout, no tracing. If one of the
// external memory hooks was set, all three must be.
void tern_init();

// requires: not RESET. Frees everything and returns to RESET; a later
// `tern_init` starts a fresh engine. External memory hooks are forgotten.
void tern_reset();

// requires: not RESET. Verbosity of the progress report lines (0 = silent).
void tern_set_verbosity(int level);

// requires: not RESET. Seed of the pseudo-random decisions (default 0).
void tern_set_seed(unsigned seed);

// requires: not RESET and no clause closed yet. Turns proof tracing on for
// the engine's lifetime (needed by the core and trace queries). Returns 1.
int tern_enable_trace_generation();

// requires: not RESET, 0 <= phase <= 3. Phase of decisions on variables
// without a saved phase: 0 false, 1 true, 2 by Jeroslow-Wang weights
// (default), 3 random.
void tern_set_global_default_phase(int phase);

// requires: not RESET, lit != 0. phase != 0: the saved phase of lit's
// variable becomes (lit > 0) == (phase > 0); phase 0: the saved phase is
// forgotten.
void tern_set_default_phase_lit(long long lit, int phase);

// requires: not RESET, lit != 0. Marks lit's variable as more (less)
// important: decided before (after) all unmarked variables. A variable
// cannot be marked both ways (aborts); `tern_reset_scores` clears marks.
void tern_set_more_important_lit(long long lit);
void tern_set_less_important_lit(long long lit);

// Report and statistics stream (default stdout) and the line prefix of every
// report line (default "c "; the text is copied).
void tern_set_output(FILE *out);
void tern_set_prefix(const char *prefix);

// From now on `tern_add`, `tern_assume`, `tern_inc_max_var`, `tern_print`,
// `tern_coreclause` and `tern_corelit` also add their CPU time to
// `tern_seconds`.
void tern_measure_all_calls();

// External memory manager (all three or none), only in RESET before
// `tern_init`; every hook call receives `mgr`, which must be the same in all
// three setters.
void tern_set_new(void *mgr, void *(*fn)(void *mgr, size_t bytes));
void tern_set_resize(void *mgr, void *(*fn)(void *mgr, void *ptr,
                                            size_t old_bytes,
                                            size_t new_bytes));
void tern_set_delete(void *mgr, void (*fn)(void *mgr, void *ptr,
                                           size_t bytes));

// ---------------------------------------------------------------------------
// Building the formula.

// requires: not RESET. A non-zero literal is appended to the clause under
// construction (variables created as needed); 0 closes the clause. A closed
// clause that is trivially satisfied (x and -x, or a literal true at level 0)
// takes an empty slot. Returns the number of original clauses closed before
// this call: for the closing 0 that is the 0-based index of the clause just
// closed, which `tern_coreclause` takes.
int tern_add(long long lit);

// requires: not RESET, lit != 0. Assumes lit for the next `tern_sat` only
// (assumptions are decided in call order).
void tern_assume(long long lit);

// Creates all variables up to |n| (growing tables first).
void tern_adjust(long long n);

// Creates the next variable and returns its number.
int tern_inc_max_var();

// Always aborts: all-different constraints are not supported.
int tern_add_ado_lit(long long lit);

// Returns 0 (no all-different constraints).
int tern_haveados();

// ---------------------------------------------------------------------------
// Solving.

// requires: not RESET, no clause under construction. Decides the clauses
// under the current assumptions. decision_limit < 0: no limit. Returns 10
// (SAT), 20 (UNSAT) or 0 (UNKNOWN: the decision limit was reached).
int tern_sat(int decision_limit);

// The last answer of `tern_sat` (10, 20 or 0); no state check.
int tern_res();

// 1 once the empty clause was derived (every later call answers 20).
int tern_inconsistent();

// requires: SAT, UNSAT or UNKNOWN (incremental reset first). Removes the
// given percentage of the learned clauses, least active first.
void tern_remove_learned(unsigned percentage);

// Sets every variable score to zero, clears the importance marks.
void tern_reset_scores();

// Forgets saved phases and recomputes the Jeroslow-Wang weights.
void tern_reset_phases();

// ---------------------------------------------------------------------------
// Model and level queries.

// requires: SAT, lit != 0, no empty clause. 1 if lit is true, -1 if false,
// 0 if unassigned or its variable was never used.
int tern_deref(long long lit);

// requires: not RESET, lit != 0, no empty clause. 1 or -1 only for a variable
// assigned at level 0, else 0.
int tern_deref_toplevel(long long lit);

// requires: SAT, lit != 0, no empty clause. Decision level of lit's variable
// (0 when never used).
int tern_deref_level(long long lit);

// requires: SAT, lit != 0, no empty clause. 1 when lit's variable has no
// reason clause (decision, assumption or unassigned), 0 when it was forced,
// 0 when never used.
int tern_decision_lit(long long lit);

// The current decision level; no state check.
int tern_toplevel();

// requires: SAT, UNSAT or UNKNOWN, lit != 0. 1 when lit's variable took part
// in a search step or an analysis.
int tern_usedlit(long long lit);

// requires: SAT. 1 when a variable that existed at the last incremental
// reset changed its saved phase since.
int tern_changed();

// ---------------------------------------------------------------------------
// Unsatisfiable cores, failed assumptions, proof traces (after 20).

// requires: UNSAT, tracing on, 0 <= index < original clauses closed. 1 when
// original clause `index` (as returned by `tern_add(0)`) is in the core of
// the refutation; 0 otherwise and for empty slots.
int tern_coreclause(int index);

// requires: UNSAT, tracing on, lit != 0. 1 when lit's variable occurs in an
// original core clause.
int tern_corelit(long long lit);

// requires: UNSAT, lit != 0. 1 when lit's variable belongs to the failed
// assumptions (assumptions that are unsatisfiable together with the
// clauses); always 0 after the empty clause was derived.
int tern_failed_assumption(long long lit);

// requires: UNSAT, tracing on. Proof traces of the refutation:
// extended: "<idx> <lits> 0 <antecedents> 0" per core clause;
// compact: the same with "*" for the literals of learned clauses;
// RUP: a 256-character "%RUPD32 <vars> <clauses>" header and the core
// learned clauses; clausal core: "p cnf" and the original core clauses.
void tern_write_extended_trace(FILE *file);
void tern_write_compact_trace(FILE *file);
void tern_write_rup_trace(FILE *file);
void tern_write_clausal_core(FILE *file);

// requires: not RESET. Writes every learned clause to `file` as it is added,
// after a RUP header announcing `variables` and `clauses`; once the header
// is written, closing more original clauses than announced aborts.
void tern_set_incremental_rup_file(FILE *file, int variables, int clauses);

// ---------------------------------------------------------------------------
// Statistics, time, output.

const char *tern_copyright();
size_t tern_max_bytes_allocated();  // peak bytes held by the engine
int tern_variables();               // largest variable in use
int tern_added_original_clauses();  // original clauses closed (empty slots too)
double tern_time_stamp();           // user + system CPU seconds of the process
double tern_seconds();              // CPU seconds spent inside the engine
void tern_enter();                  // open a timed section (nests)
void tern_leave();                  // close it; outermost adds to seconds
// When verbosity >= level: prefix, formatted text and newline on the output.
void tern_message(int level, const char *fmt, ...)
    __attribute__((format(printf, 2, 3)));
void tern_stats();         // statistics lines on the output
void tern_print(FILE *f);  // current clauses and assumptions as DIMACS
