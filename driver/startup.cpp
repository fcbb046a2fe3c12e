// main's run: handlers, data objects, options, solver, banner, input, alarm,
// one of four roads (iterative, BMO, model-cube enumeration, ordinary),
// result lines and teardown; and the signal path.
#include "driver/startup.hpp"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <unistd.h>

#include "driver/cmdline.hpp"
#include "model/mxutils.hpp"
#include "driver/roads.hpp"
#include "driver/sigsafe_out.hpp"
#include "driver/version.hpp"
#include "driver/zorapp.hpp"
#include "model/logger.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"

namespace {

// Set once ZORToolObjects holds the run's objects, cleared before they go.
volatile std::sig_atomic_t g_published = 0;
// Set when the signal path has started; a second entry leaves at once.
volatile std::sig_atomic_t g_ending = 0;

const int kOrderlySignals[] = {SIGHUP,  SIGINT,  SIGQUIT,
                               SIGKILL, SIGTERM, SIGSEGV};

const char *comment() { return ZORConfig::comp_format ? "c " : ""; }

// The signal path reads the clause set and the model while the interrupted
// code may have been changing them. A fault there abandons the reading
// (back to finishup through fault_jump) instead of killing the process.
sigjmp_buf fault_jump;
volatile std::sig_atomic_t g_fault_armed = 0;

void fault_handler(int) {
  if (g_fault_armed) {
    g_fault_armed = 0;
    siglongjmp(fault_jump, 1);
  }
  _exit(ExitStatus::Stopped);
}

// Catches faults of the current handler from here on.
void guard_against_faults() {
  struct sigaction sa = {};
  sa.sa_handler = fault_handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_NODEFER;
  sigaction(SIGSEGV, &sa, nullptr);
  sigaction(SIGBUS, &sa, nullptr);
  sigset_t faults;
  sigemptyset(&faults);
  sigaddset(&faults, SIGSEGV);
  sigaddset(&faults, SIGBUS);
  sigprocmask(SIG_UNBLOCK, &faults, nullptr);
}

// Pushes what the interrupted code left in the stdio buffer out before the
// handler writes its own lines directly.
void flush_pending_output() { std::fflush(stdout); }

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

  auto install = [&](int sig, void (*handler)(int)) {
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sa.sa_mask = block;
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr); // SIGKILL cannot be caught: ignored
  };
  for (int s : kOrderlySignals)
    install(s, SIG_handler);
  install(SIGABRT, SIG_abort_handler);
  install(SIGALRM, SIG_alarm_handler);
  std::set_new_handler(out_of_memory_handler);
  std::set_terminate(uncaught_exception_handler);
}

void publish_tool_objects(IDManager &imgr, BasicClauseSet &clset,
                          std::vector<long long> &model, long long ivars,
                          long long icls, long long *mincost) {
  ZORToolObjects::_imgr = &imgr;
  ZORToolObjects::_clset = &clset;
  ZORToolObjects::_model = &model;
  ZORToolObjects::_ivars = ivars;
  ZORToolObjects::_icls = icls;
  ZORToolObjects::_mincost = mincost;
  g_published = 1;
}

void unpublish_tool_objects() {
  g_published = 0;
  ZORToolObjects::_mincost = nullptr;
  ZORToolObjects::_model = nullptr;
  ZORToolObjects::_clset = nullptr;
  ZORToolObjects::_imgr = nullptr;
  ZORToolObjects::_ivars = -1;
  ZORToolObjects::_icls = -1;
}

void SIG_handler(int sig) {
  if (g_ending)
    _exit(ExitStatus::Stopped);
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
  flush_pending_output();
  SigSafeOut out;
  if (!name) {
    out << "Invalid signal received...\n";
    out.flush();
    _exit(ExitStatus::UnknownSignal);
  }
  out << comment() << "Kestrane received external signal " << name << ". "
      << "Terminating ..." << '\n';
  out.flush();
  finishup();
}

void SIG_alarm_handler(int) {
  if (g_ending)
    _exit(ExitStatus::Stopped);
  flush_pending_output();
  SigSafeOut out;
  out << comment() << "Kestrane received timeout signal. Terminating ..."
      << '\n';
  out.flush();
  finishup();
}

void SIG_abort_handler(int) {
  // Only a line: an abort sent from outside leaves the run going, while the
  // process's own abort routine still ends the process after the handler.
  flush_pending_output();
  SigSafeOut out;
  out << comment() << "Kestrane received abort signal. Terminating ..." << '\n';
}

// Both run while the heap may be exhausted: they print without allocating.
void out_of_memory_handler() {
  if (g_ending)
    _exit(ExitStatus::Stopped);
  flush_pending_output();
  SigSafeOut out;
  out << comment() << "Kestrane ran out of memory. Terminating ..." << '\n';
  out.flush();
  finishup();
}

void uncaught_exception_handler() {
  if (g_ending)
    _exit(ExitStatus::Stopped);
  const char *what = "unknown exception";
  try {
    if (std::exception_ptr e = std::current_exception())
      std::rethrow_exception(e);
  } catch (const std::exception &e) {
    what = e.what();
  } catch (...) {
  }
  flush_pending_output();
  SigSafeOut out;
  out << comment() << "Kestrane stopped: " << what << ". Terminating ..."
      << '\n';
  out.flush();
  finishup();
}

void finishup() {
  g_ending = 1;
  static SigSafeOut out; // static: its state survives a fault's long jump
  const bool comp = ZORConfig::comp_format;
  const bool published = g_published != 0;
  const BasicClauseSet *set = published ? ZORToolObjects::_clset : nullptr;
  const std::vector<long long> *model =
      published ? ZORToolObjects::_model : nullptr;
  const long long *mincost = published ? ZORToolObjects::_mincost : nullptr;
  guard_against_faults();
  // A cost is reported only when an algorithm has proven one (through
  // ZORToolObjects::report_cost, or main after the road returned) and a
  // model exists.
  volatile bool result = false;
  if (sigsetjmp(fault_jump, 1) == 0) {
    g_fault_armed = 1;
    result = set && model && mincost && *mincost >= 0 && *mincost < LLONG_MAX &&
             *mincost != set->top_weight && !model->empty();
    g_fault_armed = 0;
  }
  if (comp)
    out << "c ";
  if (result) {
    out << "o " << *mincost << " LB" << '\n';
    out << "s UNKNOWN" << '\n';
    out.flush();
    if (sigsetjmp(fault_jump, 1) == 0) {
      g_fault_armed = 1;
      mxutils::validate_hard_cls(out, *set, ZORToolObjects::_ivars, *model);
      if (comp || (ZORConfig::lst_model && ZORConfig::verbosity >= 5))
        mxutils::print_complete_model(out, *model, ZORToolObjects::_ivars);
      g_fault_armed = 0;
    } else if (!out.at_line_start()) {
      out << '\n'; // end the line that the fault cut short
    }
  } else {
    out << "o Top" << '\n';
    out << "s UNKNOWN" << '\n';
  }
  out << (comp ? "c " : "") << "CPU Time: " << RUSAGE::read_cpu_time() << '\n';
  out.flush();
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
  if (cost < 0) {
    std::cout << "s UNSATISFIABLE" << std::endl;
  } else if (ZORConfig::comp_format) {
    ZORConfig config;
    set_alternative_cost(config, model, cost);
    std::cout << "o " << cost << std::endl;
    std::cout << "s OPTIMUM FOUND" << std::endl;
    mxutils::print_complete_model(std::cout, model, n);
    if (ordinary_road && ZORConfig::lst_unsat_cls)
      facade.prt_all_unsat_clauses();
  } else {
    std::cout << "Minimum cost of unsatisfied clauses: " << cost << std::endl;
  }
  if (ZORConfig::comp_format)
    std::cout << "c CPU Time: " << RUSAGE::read_cpu_time() << std::endl;
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
void arm_alarm() {
  unsigned long long secs =
      static_cast<unsigned long long>(ZORConfig::tool_timeout) - 1ULL;
  if (ZORConfig::tool_timeout == 1)
    secs = 1;
  alarm(static_cast<unsigned>(static_cast<std::uint32_t>(secs)));
}

} // namespace

int kestrane_main(int argc, char **argv, void (*configure)()) {
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
  if (configure)
    configure();
  facade.init(imgr, clset, model);
  if (facade.get_verbosity() > 0)
    print_header(facade, file);
  // The time-out covers reading too: the OPB and WBO readers encode
  // constraints while they read. Until the objects are published a signal
  // ends the run without reading them.
  arm_alarm();
  facade.load_file(file);

  // The model line names every input variable: those the header declares
  // and all that the input uses (every name of an OPB or WBO file).
  const long long nread = imgr.top_id;
  const long long n = std::max(nread, imgr.declared_vars);
  long long mincost = LLONG_MAX; // best cost so far
  publish_tool_objects(imgr, clset, model, n,
                       static_cast<long long>(clset.size()), &mincost);

  if (ZORConfig::zormode == ZOR_Modes::Iterative) {
    if (ZORConfig::itermode == Iter_modes::BinarySearch)
      run_iterative_road(imgr, clset, model);
  } else if (ZORConfig::bmo_mode) {
    facade.keep_input();
    mincost = run_bmo_road(*facade.get_id_manager(), *facade.get_clause_set(),
                           model, facade.input());
    facade.check_result(mincost, nread);
    print_results(facade, model, n, mincost, false);
  } else if (facade.get_enum_models()) {
    run_enumeration_road(facade, model, n);
  } else {
    facade.solve();
    mincost = facade.get_min_unsat_cost();
    print_results(facade, model, n, mincost, true);
  }

  unpublish_tool_objects();
  facade.reset();
  KestraneExtended::release_instance();
  return ExitStatus::Normal;
}
