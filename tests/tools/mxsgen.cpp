// mxsgen: writes seeded random MaxSAT / pseudo-Boolean test instances.
//
//   mxsgen [--seed S] [--count N] [--family F] [--format FMT] [--vars N]
//          [--no-gzip] [--max-weight W] [--out DIR]
//
// Instance i of a run is generated from seed instance_seed(S, i) (with
// --count 1 and no --out, from S itself, printed to standard output
// uncompressed). F: a family name (see maxsat_gen.hpp), "clauses", "pb" or
// "all" (default "clauses"). FMT forces a format where the instance allows
// it. With --out every instance is written to DIR/<family>-<seed><suffix>
// and its path printed with its seed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "tests/tools/lib/maxsat_gen.hpp"

using namespace mxs;

static int usage() {
  std::cerr << "usage: mxsgen [--seed S] [--count N] [--family F] [--format FMT]"
               " [--vars N] [--no-gzip] [--max-weight W] [--out DIR]\n";
  return 2;
}

int main(int argc, char** argv) {
  unsigned long long seed = 1, count = 1;
  std::string family = "clauses", out_dir, format;
  GenOptions opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto val = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--no-gzip") {
      opt.allow_gzip = false;
      continue;
    }
    if (!(v = val())) return usage();
    if (a == "--seed") seed = strtoull(v, nullptr, 10);
    else if (a == "--count") count = strtoull(v, nullptr, 10);
    else if (a == "--family") family = v;
    else if (a == "--format") format = v;
    else if (a == "--vars") opt.max_vars = strtoll(v, nullptr, 10);
    else if (a == "--max-weight") opt.max_weight = strtoll(v, nullptr, 10);
    else if (a == "--out") out_dir = v;
    else return usage();
  }
  for (unsigned long long i = 0; i < count; ++i) {
    uint64_t s = (count == 1 && out_dir.empty()) ? seed : instance_seed(seed, i);
    Generated g;
    if (!generate(s, family, opt, g)) {
      std::cerr << "mxsgen: unknown family '" << family << "'\n";
      return 2;
    }
    if (!format.empty()) {
      Format f;
      if (!parse_format(format, f)) {
        std::cerr << "mxsgen: unknown format '" << format << "'\n";
        return 2;
      }
      g.format = f;
    }
    std::string text = write_instance(g.inst, g.format);
    if (out_dir.empty()) {
      std::cout << text;
      continue;
    }
    std::string path = file_name(out_dir + "/" + g.family + "-" + std::to_string(s), g);
    if (!save_file(path, text, g.gzip)) {
      std::cerr << "mxsgen: cannot write " << path << "\n";
      return 2;
    }
    std::cout << path << "\tseed=" << s << "\n";
  }
  return 0;
}
