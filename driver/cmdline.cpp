// Command-line options: one table gives each option its name, whether it
// takes a value, the facade operations it runs and its usage-text lines.
#include "driver/cmdline.hpp"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "driver/version.hpp"
#include "driver/zorapp.hpp"
#include "model/runtime_msgs.hpp"

namespace {

using FlagAction = void (*)(KestraneExtended &);
using ValueAction = void (*)(KestraneExtended &, const char *);

struct CmdOption {
  const char *name;
  FlagAction flag;   // set for options without a value
  ValueAction value; // set for options that consume the next argument
  const char *help;  // usage-text lines (without the final line end), or
                     // null for options left out of the usage text
};

// Numbers are read as strtol does in base 10: leading blanks and a sign
// are accepted, conversion stops at the first non-digit, no digits give 0.
int to_int(const char *s) {
  return static_cast<int>(std::strtol(s, nullptr, 10));
}
long long to_long_long(const char *s) { return std::strtoll(s, nullptr, 10); }

[[noreturn]] void help_and_exit(KestraneExtended &) {
  prt_help();
  std::exit(ExitStatus::Stopped);
}

// clang-format off
const CmdOption kOptions[] = {
  {"-h", help_and_exit, nullptr,
   "  -h       prints this help and exits"},
  {"-v", nullptr, [](KestraneExtended &f, const char *v) { f.set_verbosity(to_int(v)); },
   "  -v NNN   verbosity level [default: -v 1]"},
  {"-l", [](KestraneExtended &f) { f.set_logging(); }, nullptr,
   "  -l       create log file"},
  {"-T", nullptr, [](KestraneExtended &f, const char *v) { f.set_timeout(to_long_long(v)); },
   "  -T TTT   specify timeout"},
  {"-C", [](KestraneExtended &f) { f.set_comp_format(); f.set_compute_model(); }, nullptr,
   "  -C       output MaxSAT evaluation/competition format [default]"},
  {"-NC", [](KestraneExtended &f) { f.unset_comp_format(); f.unset_compute_model(); }, nullptr,
   "  -NC      do not use MaxSAT evaluation/competition format"},
  {"-r", nullptr, [](KestraneExtended &f, const char *v) { f.set_release(v); },
   "  -r REL   kestrane algorithm release. REL can be 1.0, 1.1, 1.2, 3.0, 4.0, bin, bin-core, bin-core-dis [default: -r 1.2]"},
  {"-a", nullptr, [](KestraneExtended &f, const char *v) { f.set_algorithm(v); },
   "  -a ALG   zor algorithm to use. Currently, ALG can be 1, 3, 4, bin, bin-core, bin-core-dis"},
  {"-m", nullptr, [](KestraneExtended &f, const char *v) { f.set_relate_relax_vars(to_int(v)); },
   "  -m BBB   at most 1 true blocking var per clause for >= BBB blocking vars"},
  {"-e", nullptr, [](KestraneExtended &f, const char *v) { f.set_encodings(v); },
   "  -e ENC   encoding of card constraints. ENC can be one of the following:\n"
   "           b (bdds), sc (seq counters), e (exp), l (bitwise), sn (sorter networks), cn (cardinality networks) "},
  {"-w", [](KestraneExtended &f) { f.set_compute_model(); }, nullptr,
   "  -w       print computed truth assignment"},
  {"-u", [](KestraneExtended &f) { f.set_lst_unsat_cls(); f.set_compute_model(); }, nullptr,
   "  -u       list clauses unsat in computed solution"},
  {"-chk", [](KestraneExtended &f) { f.set_check_solution(); f.set_compute_model(); }, nullptr,
   "  -chk     check computed solution"},
  {"-bmo", [](KestraneExtended &f) { f.set_bmo_mode(); }, nullptr,
   "  -bmo     validate BMO condition and execute 1.2 algorithm"},
  {"-wl", [](KestraneExtended &f) { f.set_write_bmo_models(); }, nullptr,
   "  -wl      write intermediate level models in BMO mode"},
  // Options kept out of the usage text.
  {"-setMiddle", nullptr, [](KestraneExtended &f, const char *v) { f.set_middle_type(v); }, nullptr},
  {"-hard", [](KestraneExtended &f) { f.set_hardening_rule(); }, nullptr, nullptr},
  {"-lbh", nullptr, [](KestraneExtended &f, const char *v) { f.set_lower_bound(v); }, nullptr},
};
// clang-format on

const CmdOption *find_option(const char *arg) {
  for (const CmdOption &o : kOptions)
    if (std::strcmp(o.name, arg) == 0)
      return &o;
  return nullptr;
}

} // namespace

void prt_help() {
  using namespace kestrane_version;
  std::cout << "kestrane: maxsat solver based on unsat cores & card constraints"
            << "\n\n";
  std::cout << "release: " << kReleaseId << "; built: " << kBuildTime << "\n";
  std::cout << "usage: kestrane [ <option> ... ] <input> \n";
  std::cout << "where <option> is one of the following:\n";
  for (const CmdOption &o : kOptions)
    if (o.help)
      std::cout << o.help << "\n";
  std::cout << "authors: " << kAuthor << " (" << kContact << ")\n";
  std::cout << "contributors: everyone who reported a fault or sent a fix\n";
  std::cout.flush();
}

const char *parse_cmdline_options(KestraneExtended &facade, int argc,
                                  char **argv) {
  facade.set_runtime_defaults();
  if (argc <= 1) {
    prt_help();
    std::exit(ExitStatus::Stopped);
  }
  for (int i = 1; i < argc; ++i) {
    const CmdOption *o = find_option(argv[i]);
    if (!o)
      return argv[i]; // the input file; later arguments are not looked at
    if (o->flag) {
      o->flag(facade);
      continue;
    }
    // An option whose value is missing ends the parsing: the run then has
    // no input file and stops with the no-file warning.
    if (i + 1 >= argc)
      return nullptr;
    o->value(facade, argv[++i]);
  }
  return nullptr;
}
