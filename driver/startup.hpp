// Start-up and orderly end of the kestrane program: main's run (options,
// banner, loading, time-out alarm, the road taken, result lines) and the
// signal path that ends a run cut short by a signal or the time-out.
#pragma once

#include <csignal>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

class ClauseSnapshot;
class KestraneExtended;

// The whole run of the program; returns main's exit status (other
// statuses leave through exit inside the run).
// configure, when given, runs after the options are read and before the
// solver is built (the test driver selects algorithms that no option does).
int kestrane_main(int argc, char **argv, void (*configure)() = nullptr);

// The banner (printed when the verbosity is above 0), also into the log
// file "kestrane.log" with option -l.
void print_header(KestraneExtended &facade, const char *file);

// The result lines of a solved run: "s UNSATISFIABLE" for a negative cost;
// in the evaluation format "o " (the OPB objective's value for an OPB
// input), "s OPTIMUM FOUND", the "v " line over the variables 1..n (and, on
// the ordinary road, the falsified clauses on request); otherwise "Minimum
// cost of unsatisfied clauses: "; last the "c CPU Time: " line in the
// evaluation format. The asynchronous signals are held until the whole
// block is out: one that comes meanwhile then ends the run after it (its
// line follows the block; exit status 1).
void print_results(KestraneExtended &facade, std::vector<long long> &model,
                   long long n, long long cost, bool ordinary_road);

// Installs SIG_handler for hang-up, interrupt, quit, kill (never
// delivered), terminate and segmentation fault, SIG_abort_handler for abort
// and SIG_alarm_handler for the alarm. While one of them runs, all these
// signals are blocked. Also installs the handlers of a failed allocation
// and of an exception that nothing caught, which end the run the same way.
void install_signal_handlers();

// Makes the run's objects known to the signal path (ZORToolObjects), or
// withdraws them (and the kept model) before they go away. input is the
// input as read, against which the models that the algorithms offer are
// costed (null: none is kept). A signal that comes while nothing is
// published ends the run without reading any of them.
void publish_tool_objects(IDManager &imgr, BasicClauseSet &clset,
                          std::vector<long long> &model, long long ivars,
                          long long icls, const ClauseSnapshot *input);
void unpublish_tool_objects();

// The handlers below but abort end the run alike: once only, with the
// whole lines the run wrote to standard output (a line it had not finished
// is dropped), their one line, then finishup. They call only async-signal-safe
// functions.
void SIG_handler(int sig);
// The time-out; an alarm sent by another process where the launcher left
// SIGALRM blocked is ignored (only the run's own alarm counts there).
// Installed with SA_SIGINFO.
void SIG_alarm_handler(int sig, siginfo_t *info, void *context);
// A line only, and the run goes on (an abort sent from outside); none once
// the result lines have begun. The line never splits one of the run's: it
// waits for the run's line to end (see stdout_line_from_handler), but for
// the process's own abort, which ends it after the handler. Installed with
// SA_SIGINFO.
void SIG_abort_handler(int sig, siginfo_t *info, void *context);
// A failed allocation: "Kestrane ran out of memory", then finishup.
void out_of_memory_handler();
// An exception that nothing caught: "Kestrane stopped: " and its text,
// then finishup.
void uncaught_exception_handler();

// Ends a run cut short: the model kept with the best cost so far (when an
// algorithm found one) and that cost as a comment, "s UNKNOWN", the CPU
// time, then the line of an abort that came meanwhile; exit status 1, or 3
// with a message on standard error when standard output could not be
// written. Once the result lines have begun it prints nothing more. Writes
// through write(2) only and leaves with _exit.
[[noreturn]] void finishup();
