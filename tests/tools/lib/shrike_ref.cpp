// Reference model, brute force and generators for the preprocessor's tests.
#include "tests/tools/lib/shrike_ref.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace shrike_test {

int reference_model(const Cnf &cnf, std::vector<int> &model) {
  char path[] = "/tmp/shrike_ref_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0)
    return 0;
  close(fd);
  if (!engine_test::write_dimacs(path, cnf)) {
    std::remove(path);
    return 0;
  }
  std::string cmd =
      std::string("/usr/bin/cadical -q '") + path + "' 2>/dev/null";
  FILE *p = popen(cmd.c_str(), "r");
  if (p == nullptr) {
    std::remove(path);
    return 0;
  }
  int result = 0;
  model.assign((size_t)cnf.vars + 1, -1);
  char line[1 << 16];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    if (line[0] == 's') {
      std::string s(line);
      if (s.find("UNSATISFIABLE") != std::string::npos)
        result = 20;
      else if (s.find("SATISFIABLE") != std::string::npos)
        result = 10;
    } else if (line[0] == 'v') {
      char *q = line + 1;
      for (;;) {
        char *end;
        long lit = std::strtol(q, &end, 10);
        if (end == q)
          break;
        q = end;
        long v = lit < 0 ? -lit : lit;
        if (lit != 0 && v <= cnf.vars)
          model[(size_t)v] = lit > 0 ? 1 : -1;
      }
    }
  }
  pclose(p);
  std::remove(path);
  return result;
}

int brute_force(const Cnf &cnf) {
  int n = cnf.vars;
  if (n > 20)
    std::abort();
  for (uint32_t a = 0; a < (1u << n); a++) {
    bool all = true;
    for (const auto &cl : cnf.clauses) {
      bool sat = false;
      for (int l : cl) {
        int v = std::abs(l) - 1;
        bool val = (a >> v) & 1;
        if ((l > 0) == val) {
          sat = true;
          break;
        }
      }
      if (!sat) {
        all = false;
        break;
      }
    }
    if (all)
      return 10;
  }
  return 20;
}

Cnf gate_circuit(Rng &rng, int inputs, int gates, int side_clauses) {
  Cnf cnf;
  cnf.vars = inputs;
  auto pick = [&]() {
    int v = (int)rng.below((uint32_t)cnf.vars) + 1;
    return rng.below(2) ? v : -v;
  };
  for (int g = 0; g < gates; g++) {
    int out = ++cnf.vars;
    int kind = (int)rng.below(4);
    if (kind == 0) { // equivalence out <-> a
      int a = pick();
      while (std::abs(a) == out)
        a = pick();
      cnf.clauses.push_back({-out, a});
      cnf.clauses.push_back({out, -a});
      continue;
    }
    int width = 2 + (int)rng.below(3);
    std::vector<int> ins;
    while ((int)ins.size() < width) {
      int a = pick();
      bool dup = std::abs(a) == out;
      for (int b : ins)
        dup |= std::abs(b) == std::abs(a);
      if (!dup)
        ins.push_back(a);
    }
    std::vector<int> big = {out};
    for (int a : ins) {
      cnf.clauses.push_back({-out, a});
      big.push_back(-a);
    }
    if (kind != 3) // kind 3 leaves half a gate: out -> AND only
      cnf.clauses.push_back(big);
  }
  for (int i = 0; i < side_clauses; i++) {
    int len = rng.below(12) == 0 ? 1 : 2 + (int)rng.below(3);
    std::vector<int> cl;
    while ((int)cl.size() < len) {
      int a = pick();
      bool dup = false;
      for (int b : cl)
        dup |= std::abs(b) == std::abs(a);
      if (!dup)
        cl.push_back(a);
    }
    cnf.clauses.push_back(cl);
  }
  return cnf;
}

Cnf mixed_clauses(Rng &rng, int vars, int clauses, int max_len) {
  Cnf cnf;
  cnf.vars = vars;
  for (int i = 0; i < clauses; i++) {
    if (!cnf.clauses.empty() && rng.below(4) == 0) {
      // A variant of an earlier clause: a superset, or one literal flipped.
      std::vector<int> cl =
          cnf.clauses[rng.below((uint32_t)cnf.clauses.size())];
      if (rng.below(2) && (int)cl.size() < vars) {
        int v = (int)rng.below((uint32_t)vars) + 1;
        bool dup = false;
        for (int l : cl)
          dup |= std::abs(l) == v;
        if (!dup)
          cl.push_back(rng.below(2) ? v : -v);
      } else {
        size_t k = rng.below((uint32_t)cl.size());
        cl[k] = -cl[k];
      }
      cnf.clauses.push_back(cl);
      continue;
    }
    int len =
        rng.below(12) == 0 ? 1 : 2 + (int)rng.below((uint32_t)max_len - 1);
    if (len > vars)
      len = vars;
    std::vector<int> cl;
    while ((int)cl.size() < len) {
      int v = (int)rng.below((uint32_t)vars) + 1;
      bool dup = false;
      for (int l : cl)
        dup |= std::abs(l) == v;
      if (!dup)
        cl.push_back(rng.below(2) ? v : -v);
    }
    cnf.clauses.push_back(cl);
  }
  return cnf;
}

} // namespace shrike_test
