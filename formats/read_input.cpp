#include "formats/read_input.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "formats/dimacs_readers.hpp"
#include "formats/fmt_utils.hpp"
#include "formats/memory_budget.hpp"
#include "formats/opb_reader.hpp"
#include "formats/wbo_reader.hpp"
#include "formats/wcsp_reader.hpp"
#include "model/logger.hpp"
#include "model/runtime_msgs.hpp"

namespace {

using Reader = void (*)(StreamBuffer &, IDManager &, BasicClauseSet &);

void read_wbo(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  Wbo_group_encoding wenc = ZORConfig::wbo_encoding == WboEncoding::SAT10
                                ? Wbo_group_encoding::SAT10
                                : Wbo_group_encoding::Groups;
  parse_wbo_file(in, imgr, clset, ZORConfig::zorenc, ZORConfig::zorpbenc,
                 wenc);
}

struct Format {
  const char *word;
  long long default_weight; // of new clauses while the reader runs
  MS_Problems type;
  Reader read;
};

// Compared in this order with the format word.
// clang-format off
const Format kFormats[] = {
    {"cnf",   1, MS_Problems::Plain,    parse_cnf_file},
    {"pmcnf", 1, MS_Problems::Partial,  parse_pmcnf_file},
    {"wcnf",  0, MS_Problems::Weighted, parse_wcnf_file},
    {"gwcnf", 0, MS_Problems::Weighted, parse_gwcnf_file},
    {"scnf",  1, MS_Problems::SoftCnf,  parse_scnf_file},
    {"wcsp",  0, MS_Problems::Weighted, parse_wcsp_file},
    {"wbo",   0, MS_Problems::Weighted, read_wbo},
    {"opb",   0, MS_Problems::Weighted, parse_opb_file},
};
// clang-format on

bool show_progress() {
  return !ZORConfig::comp_format && Logger::verbosity > 1;
}

// Owns an open zlib handle.
struct GzHandle {
  explicit GzHandle(gzFile f) : f(f) {}
  GzHandle(const GzHandle &) = delete;
  GzHandle &operator=(const GzHandle &) = delete;
  ~GzHandle() {
    if (f)
      gzclose(f);
  }
  gzFile f;
};

gzFile open_or_abort(const char *name) {
  gzFile f = open_input(name);
  if (!f)
    Abort(std::string("Could not open file: ") + name);
  return f;
}

} // namespace

std::string format_from_name(const char *name) {
  std::size_t n = std::strlen(name);
  if (n <= 3)
    return "";
  const char *end = name + n - 4;
  if (std::strcmp(end, "wcsp") == 0)
    return "wcsp";
  if (std::strcmp(end, ".wbo") == 0)
    return "wbo";
  if (std::strcmp(end, ".opb") == 0)
    return "opb";
  return "";
}

std::string read_format_word(StreamBuffer &in) {
  for (;;) {
    FMTUtils::skipWhitespace(in);
    int c = *in;
    if (c == EOF)
      return "";
    if (c == 'c') {
      FMTUtils::skipLine(in);
    } else if (c == 'p') {
      ++in;
      FMTUtils::skipWhitespace(in);
      std::string word;
      for (c = *in; FMTUtils::is_word_char(c); c = *in) {
        word.push_back(static_cast<char>(c));
        ++in;
      }
      return word;
    } else {
      std::fputs("File without format line\n", stdout);
      std::fflush(stdout);
      std::exit(ExitStatus::Stopped);
    }
  }
}

MS_Problems read_input_file(const char *&name, IDManager &imgr,
                            BasicClauseSet &clset) {
  clset.def_cltype = ClauseType::Unit;
  if (show_progress())
    std::cout << "Parsing... " << std::flush;

  std::string word = format_from_name(name);
  {
    GzHandle detect(open_or_abort(name));
    if (word.empty()) {
      SmallStreamBuffer in(detect.f);
      word = read_format_word(in);
    }
  }

  const Format *format = nullptr;
  for (const Format &f : kFormats)
    if (word == f.word) {
      format = &f;
      break;
    }
  if (!format)
    Abort("Invalid file format. Should be <cnf|wcnf|pmcnf>");

  clset.def_cltype = ClauseType::Default;
  clset.def_weight = format->default_weight;
  {
    GzHandle file(open_or_abort(name));
    StreamBuffer in(file.f);
    format->read(in, imgr, clset);
  }
  // The run holds storage for every variable number up to the largest, and
  // the model line names every variable the header declares.
  memory_budget::check_largest_variable(
      std::max(imgr.top_id, imgr.declared_vars));

  if (show_progress())
    std::cout << "... Done. CPU time " << RUSAGE::read_cpu_time() << "\n";
  clset.def_cltype = ClauseType::Hard;
  return format->type;
}
