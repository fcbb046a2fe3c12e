// main's run: handlers, data objects, options, solver, banner, input, alarm,
// one of four roads (iterative, BMO, model-cube enumeration, ordinary),
// result lines and teardown; and the signal path.
#include "driver/startup.hpp"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>
#include <new>
#include <unistd.h>

#include "driver/cmdline.hpp"
#include "driver/roads.hpp"
#include "driver/version.hpp"
#include "driver/zorapp.hpp"
#include "model/logger.hpp"
#include "model/mxutils.hpp"
#include "model/runtime_msgs.hpp"
#include "model/sigsafe_out.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"

namespace {

// Set once ZORToolObjects holds the run's objects, cleared before they go.
volatile std::sig_atomic_t g_published = 0;
// Set when the signal path has started; a second entry leaves at once.
volatile std::sig_atomic_t g_signal_path_entered = 0;

const int kOrderlySignals[] = {SIGHUP,  SIGINT,  SIGQUIT,
                               SIGKILL, SIGTERM, SIGSEGV};

const char *comment() { return ZORConfig::comp_format ? "c " : ""; }

const char kAbortLine[] = "Kestrane received abort signal. Terminating ...\n";

// Queues the line of an abort that came while the signals were held (a
// signal that ends the run may be taken before it, and its ending keeps
// the abort pending until the process is gone); not one that the launcher
// left blocked, which was never the run's. requires: abort held.
void take_held_abort() {
  if (result_lines_begun() || launcher_blocked(SIGABRT))
    return;
  sigset_t abort_only;
  sigemptyset(&abort_only);
  sigaddset(&abort_only, SIGABRT);
  const timespec no_wait = {0, 0};
  if (sigtimedwait(&abort_only, nullptr, &no_wait) == SIGABRT)
    stdout_queue_line(comment(), kAbortLine);
}

// The one way out of a run cut short by a signal, a failed allocation or an
// uncaught exception: once only (a second entry leaves at once), with the
// asynchronous signals held, the whole lines that standard output holds
// written out (the unfinished one dropped), then the line "<what><detail>.
// Terminating ...", then finishup.
[[noreturn]] void end_run(const char *what, const char *detail) {
  if (g_signal_path_entered)
    _exit(ExitStatus::Stopped);
  g_signal_path_entered = 1;
  // Never released: the run ends here. Abort too: from main code (a failed
  // allocation, an exception) an abort sent from outside would otherwise
  // write its line amid the ending's.
  HeldSignals held(true);
  take_held_abort();
  stdout_drain_for_exit();
  SigSafeOut out;
  out << comment() << what << detail << ". Terminating ..." << '\n';
  out.flush();
  finishup();
}

} // namespace

// ---- Signals ----------------------------------------------------------------

void install_signal_handlers() {
  sigset_t block;
  sigemptyset(&block);
  for (int s : kOrderlySignals)
    if (s != SIGKILL)
      sigaddset(&block, s);
  sigaddset(&block, SIGABRT);
  sigaddset(&block, SIGALRM);

  struct sigaction sa = {};
  sa.sa_mask = block;
  sa.sa_flags = SA_RESTART;
  sa.sa_handler = SIG_handler;
  for (int s : kOrderlySignals)
    sigaction(s, &sa, nullptr); // SIGKILL cannot be caught: ignored
  // The alarm's and the abort's handlers tell the process's own signal from
  // one sent.
  sa.sa_flags = SA_RESTART | SA_SIGINFO;
  sa.sa_sigaction = SIG_alarm_handler;
  sigaction(SIGALRM, &sa, nullptr);
  sa.sa_sigaction = SIG_abort_handler;
  sigaction(SIGABRT, &sa, nullptr);
  std::set_new_handler(out_of_memory_handler);
  std::set_terminate(uncaught_exception_handler);
}

void publish_tool_objects(IDManager &imgr, BasicClauseSet &clset,
                          std::vector<long long> &model, long long ivars,
                          long long icls, const ClauseSnapshot *input) {
  ZORToolObjects::_imgr = &imgr;
  ZORToolObjects::_clset = &clset;
  ZORToolObjects::_model = &model;
  ZORToolObjects::_ivars = ivars;
  ZORToolObjects::_icls = icls;
  ZORToolObjects::_ivars_used = imgr.top_id;
  ZORToolObjects::_input = input;
  g_published = 1;
}

void unpublish_tool_objects() {
  g_published = 0;
  ZORToolObjects::forget_kept_model();
  ZORToolObjects::_input = nullptr;
  ZORToolObjects::_model = nullptr;
  ZORToolObjects::_clset = nullptr;
  ZORToolObjects::_imgr = nullptr;
  ZORToolObjects::_ivars = -1;
  ZORToolObjects::_icls = -1;
  ZORToolObjects::_ivars_used = -1;
}

void SIG_handler(int sig) {
  const char *name = nullptr;
  switch (sig) {
  case SIGHUP:
    name = "SIGHUP";
    break;
  case SIGINT:
    name = "SIGINT";
    break;
  case SIGQUIT:
    name = "SIGQUIT";
    break;
  case SIGKILL:
    name = "SIGKILL";
    break;
  case SIGSEGV:
    name = "";
    break;
  case SIGTERM:
    name = "SIGTERM";
    break;
  default:
    break;
  }
  if (!name) {
    if (g_signal_path_entered)
      _exit(ExitStatus::Stopped);
    stdout_drain_for_exit();
    SigSafeOut out;
    out << "Invalid signal received...\n";
    out.flush();
    _exit(ExitStatus::UnknownSignal);
  }
  end_run("Kestrane received external signal ", name);
}

void SIG_alarm_handler(int sig, siginfo_t *info, void *) {
  if (info && ignored_outside_signal(sig, *info))
    return;
  end_run("Kestrane received timeout signal", "");
}

void SIG_abort_handler(int, siginfo_t *info, void *) {
  // Only a line: an abort sent from outside leaves the run going, while the
  // process's own abort routine (raise, which signals its own thread) still
  // ends the process after the handler. Not after the result lines, which
  // stay the last.
  if (result_lines_begun())
    return;
  const bool own =
      info && info->si_code == SI_TKILL && info->si_pid == getpid();
  stdout_line_from_handler(comment(), kAbortLine, own);
}

// Both run while the heap may be exhausted: they print without allocating.
void out_of_memory_handler() { end_run("Kestrane ran out of memory", ""); }

void uncaught_exception_handler() {
  if (g_signal_path_entered)
    _exit(ExitStatus::Stopped);
  const char *what = "unknown exception";
  try {
    if (std::exception_ptr e = std::current_exception())
      std::rethrow_exception(e);
  } catch (const std::exception &e) {
    what = e.what();
  } catch (...) {
  }
  end_run("Kestrane stopped: ", what);
}

void finishup() {
  g_signal_path_entered = 1;
  // The result lines of a finished run have begun: they stay the only ones.
  if (result_lines_begun()) {
    exit_if_stdout_failed();
    _exit(ExitStatus::Stopped);
  }
  stdout_drain_for_exit();
  SigSafeOut out;
  const bool comp = ZORConfig::comp_format;
  // The model kept with the best cost so far, if an algorithm found one.
  const ZORToolObjects::KeptModel *kept =
      g_published ? ZORToolObjects::kept_model() : nullptr;
  if (comp)
    out << "c ";
  if (kept) {
    out << "o " << kept->cost << " LB" << '\n';
    out << "s UNKNOWN" << '\n';
    if (comp || (ZORConfig::lst_model && ZORConfig::verbosity >= 5))
      mxutils::print_complete_model(out, kept->values, ZORToolObjects::_ivars);
  } else {
    out << "o Top" << '\n';
    out << "s UNKNOWN" << '\n';
  }
  out << (comp ? "c " : "") << "CPU Time: " << RUSAGE::read_cpu_time() << '\n';
  out.flush();
  // An abort that came during the ending: its line after the ending's.
  take_held_abort();
  stdout_drain_for_exit();
  exit_if_stdout_failed();
  _exit(ExitStatus::Stopped);
}

// ---- Banner and results
// -------------------------------------------------------

void print_header(KestraneExtended &facade, const char *file) {
  using namespace kestrane_version;
  if (facade.get_logging()) {
    LogUtils::set_log_fname("kestrane.log");
    auto line = [](const std::string &text) {
      std::cout << text << std::endl;
      if (Logger::logf)
        *Logger::logf << text << std::endl;
    };
    line(std::string("c *** ") + "Kestrane MaxSAT Solver" + " ***");
    line(std::string("c *** ") + kToolName + ", version " + kVersion +
         ", distrib " + kReleaseDate + ", built " + kBuildTime + " ***");
    line(std::string("c *** ") + kContact + " ***");
    line("c ");
  } else if (facade.get_comp_format()) {
    std::cout << "c *** " << kToolName << " MaxSAT solver ***" << std::endl;
    std::cout << "c *** release date: " << kReleaseId << " ***" << std::endl;
    std::cout << "c *** release ref: " << kReleaseRef << " ***" << std::endl;
    std::cout << "c *** built: " << kBuildTime << " ***" << std::endl;
    std::cout << "c *** author: " << kAuthor << " (" << kContact << ") ***"
              << std::endl;
    std::cout << "c *** instance: " << file << " ***" << std::endl;
    std::cout << "c " << std::endl;
  } else {
    std::cout << "Running instance: " << file << std::endl;
  }
}

void print_results(KestraneExtended &facade, std::vector<long long> &model,
                   long long n, long long cost, bool ordinary_road) {
  ResultLines out;
  if (cost < 0) {
    out << "s UNSATISFIABLE" << '\n';
  } else if (ZORConfig::comp_format) {
    ZORConfig config;
    set_alternative_cost(config, model, cost);
    out << "o " << cost << '\n';
    out << "s OPTIMUM FOUND" << '\n';
    mxutils::print_complete_model(out, model, n);
    if (ordinary_road && ZORConfig::lst_unsat_cls) {
      // The listing prints through std::cout, inside the block.
      out.flush();
      facade.prt_all_unsat_clauses();
      std::cout.flush();
    }
  } else {
    out << "Minimum cost of unsatisfied clauses: " << cost << '\n';
  }
  if (ZORConfig::comp_format)
    out << "c CPU Time: " << RUSAGE::read_cpu_time() << '\n';
}

// ---- main's run
// ---------------------------------------------------------------

namespace {

// Model-cube enumeration (a run mode that no option selects).
void run_enumeration_road(KestraneExtended &facade,
                          std::vector<long long> &model, long long n) {
  long long passes = 0;
  while (facade.iter_solve()) {
    ++passes;
    std::cout << "Computed another MaxSAT model cube";
    if (ZORConfig::verbosity > 4) {
      std::cout << ": ";
      mxutils::print_model(std::cout, model, n);
    } else {
      std::cout << std::endl;
    }
    if (passes == 1)
      std::cout << "Minimum number of unsatisfied clauses: "
                << facade.get_min_unsat_cost() << std::endl;
  }
  if (ZORConfig::verbosity >= 2)
    std::cout << "Number of model cubes: " << passes << std::endl;
}

// The alarm fires one second before the time-out, the count taken as an
// unsigned 32-bit number (0 arms the largest count, negative time-outs
// very large ones). A time-out of 1 second arms the alarm at 1 second: one
// second before it would be 0, which cancels the alarm and would leave the
// run going until an algorithm's own CPU-time test, after its SAT call.
// The alarm is the run's own: let in even where the launcher blocked it.
void arm_alarm() {
  take_signal_as_own(SIGALRM);
  unsigned long long secs =
      static_cast<unsigned long long>(ZORConfig::tool_timeout) - 1ULL;
  if (ZORConfig::tool_timeout == 1)
    secs = 1;
  alarm(static_cast<unsigned>(static_cast<std::uint32_t>(secs)));
}

} // namespace

int kestrane_main(int argc, char **argv, void (*configure)()) {
  route_standard_output();
  install_signal_handlers();
  IDManager imgr;
  BasicClauseSet clset;
  std::vector<long long> model;

  KestraneExtended &facade = Kestrane::instance();
  const char *file = parse_cmdline_options(facade, argc, argv);
  if (!file) {
    Warn("Options but no file name provided? Terminating...");
    std::exit(ExitStatus::Failure);
  }
  // The time-out counts from the start: armed before anything is printed,
  // since a reader that does not read can hold the banner back. It covers
  // reading too: the OPB and WBO readers encode constraints while they
  // read. Until the objects are published a signal ends the run without
  // reading them.
  arm_alarm();
  if (configure)
    configure();
  facade.init(imgr, clset, model);
  if (facade.get_verbosity() > 0)
    print_header(facade, file);
  facade.load_file(file);

  // The model line names every input variable: those the header declares
  // and all that the input uses (every name of an OPB or WBO file).
  const long long nread = imgr.top_id;
  const long long n = std::max(nread, imgr.declared_vars);
  // The input as read: every model an algorithm finds is costed on it.
  facade.keep_input();
  publish_tool_objects(imgr, clset, model, n,
                       static_cast<long long>(clset.size()), facade.input());

  if (ZORConfig::zormode == ZOR_Modes::Iterative) {
    if (ZORConfig::itermode == Iter_modes::BinarySearch)
      run_iterative_road(imgr, clset, model);
  } else if (ZORConfig::bmo_mode) {
    long long cost =
        run_bmo_road(*facade.get_id_manager(), *facade.get_clause_set(), model,
                     facade.input());
    facade.check_result(cost, nread);
    print_results(facade, model, n, cost, false);
  } else if (facade.get_enum_models()) {
    run_enumeration_road(facade, model, n);
  } else {
    facade.solve();
    print_results(facade, model, n, facade.get_min_unsat_cost(), true);
  }

  unpublish_tool_objects();
  facade.reset();
  KestraneExtended::release_instance();
  return ExitStatus::Normal;
}
