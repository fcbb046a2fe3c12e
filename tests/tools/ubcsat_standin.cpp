// A stand-in for the local-search program "./ubcsat", for the tests only:
// it accepts the command line that the solver builds, finds an optimum
// assignment of the (small, wcnf) input by brute force and writes the
// report the solver reads back (line 2: "<run> <found> <cost> <bits>").
// UBCSAT_STANDIN_MODE makes it misbehave: "wrongclaim" claims one less,
// "empty" writes nothing, "short" one line only, "breakhard" reports an
// assignment that breaks a hard clause with the cost of its soft part,
// "fail" exits with status 1 after a good report. UBCSAT_STANDIN_LOG, when
// set, receives the argument list.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  const char *mode_env = std::getenv("UBCSAT_STANDIN_MODE");
  std::string mode = mode_env ? mode_env : "good";
  if (const char *log = std::getenv("UBCSAT_STANDIN_LOG")) {
    std::ofstream out(log);
    for (int i = 1; i < argc; ++i)
      out << argv[i] << "\n";
  }
  std::string input;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "-i") == 0)
      input = argv[i + 1];
  std::ifstream in(input);
  if (!in)
    return 2;
  long long nvars = 0, top = -1;
  std::vector<std::pair<long long, std::vector<long long>>> cls;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == 'c')
      continue;
    std::istringstream ls(line);
    if (line[0] == 'p') {
      std::string p, fmt;
      long long m;
      ls >> p >> fmt >> nvars >> m;
      if (!(ls >> top))
        top = -1;
      continue;
    }
    long long w, l;
    ls >> w;
    std::vector<long long> lits;
    while (ls >> l && l != 0)
      lits.push_back(l);
    cls.push_back({w, lits});
  }
  if (nvars > 20)
    return 3;
  auto cost_of = [&](unsigned bits, bool &hard_ok) {
    long long cost = 0;
    hard_ok = true;
    for (auto &c : cls) {
      bool sat = false;
      for (long long l : c.second) {
        bool val = bits >> (std::llabs(l) - 1) & 1;
        sat |= (l > 0) == val;
      }
      if (sat)
        continue;
      if (top >= 0 && c.first >= top)
        hard_ok = false;
      else
        cost += c.first;
    }
    return cost;
  };
  long long best = -1;
  unsigned best_bits = 0, broken_bits = 0;
  bool have_broken = false;
  long long broken_cost = 0;
  for (unsigned bits = 0; bits < (1u << nvars); ++bits) {
    bool ok;
    long long c = cost_of(bits, ok);
    if (ok && (best < 0 || c < best)) {
      best = c;
      best_bits = bits;
    }
    if (!ok && !have_broken) {
      have_broken = true;
      broken_bits = bits;
      broken_cost = c;
    }
  }
  if (mode == "empty")
    return 0;
  std::cout << "# stand-in report\n";
  if (mode == "short")
    return 0;
  unsigned bits = best_bits;
  long long claim = best;
  if (mode == "wrongclaim")
    claim = best - 1;
  if (mode == "breakhard" && have_broken) {
    bits = broken_bits;
    claim = broken_cost;
  }
  std::string s;
  for (long long v = 1; v <= nvars; ++v)
    s += (bits >> (v - 1) & 1) ? '1' : '0';
  std::cout << "1 1 " << claim << " " << s << "\n";
  return mode == "fail" ? 1 : 0;
}
