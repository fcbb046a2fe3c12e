#include "wrap_testlib.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

WrapClauses wrap_random_cnf(std::mt19937_64 &rng, int nvars, int ncls,
                            int maxlen) {
  WrapClauses cls;
  std::uniform_int_distribution<int> len(1, maxlen);
  std::uniform_int_distribution<long long> var(1, nvars);
  for (int i = 0; i < ncls; ++i) {
    int k = std::min(len(rng), nvars);
    std::vector<long long> c;
    while (static_cast<int>(c.size()) < k) {
      long long v = var(rng);
      bool seen = false;
      for (long long l : c)
        seen = seen || std::llabs(l) == v;
      if (!seen)
        c.push_back(rng() & 1 ? v : -v);
    }
    cls.push_back(c);
  }
  return cls;
}

WrapClauses wrap_pigeonhole(int n) {
  WrapClauses cls;
  auto x = [n](int p, int h) { return static_cast<long long>(p * n + h + 1); };
  for (int p = 0; p <= n; ++p) {
    std::vector<long long> c;
    for (int h = 0; h < n; ++h)
      c.push_back(x(p, h));
    cls.push_back(c);
  }
  for (int h = 0; h < n; ++h)
    for (int p = 0; p <= n; ++p)
      for (int q = p + 1; q <= n; ++q)
        cls.push_back({-x(p, h), -x(q, h)});
  return cls;
}

WrapClauses wrap_implication_chain(int n, bool closed) {
  WrapClauses cls{{1}};
  for (long long i = 1; i < n; ++i)
    cls.push_back({-i, i + 1});
  if (closed)
    cls.push_back({-static_cast<long long>(n)});
  return cls;
}

bool wrap_model_satisfies(const WrapClauses &cls,
                          const std::vector<long long> &model) {
  for (const auto &c : cls) {
    bool sat = false;
    for (long long l : c) {
      std::size_t v = static_cast<std::size_t>(std::llabs(l));
      if (v < model.size() && model[v] != 0 && (model[v] > 0) == (l > 0))
        sat = true;
    }
    if (!sat)
      return false;
  }
  return true;
}

int wrap_reference_sat(const WrapClauses &cls) {
  char name[] = "/tmp/wrap_ref_XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0)
    return 0;
  FILE *f = fdopen(fd, "w");
  long long nvars = 0;
  for (const auto &c : cls)
    for (long long l : c)
      nvars = std::max(nvars, std::llabs(l));
  std::fprintf(f, "p cnf %lld %zu\n", nvars, cls.size());
  for (const auto &c : cls) {
    for (long long l : c)
      std::fprintf(f, "%lld ", l);
    std::fprintf(f, "0\n");
  }
  std::fclose(f);
  std::string cmd =
      std::string("/usr/bin/cadical -q -n ") + name + " > /dev/null 2>&1";
  int st = std::system(cmd.c_str());
  std::remove(name);
  if (st == -1 || !WIFEXITED(st))
    return 0;
  int code = WEXITSTATUS(st);
  return code == 10 || code == 20 ? code : 0;
}

unsigned wrap_soak_factor() {
  return std::getenv("KESTRANE_SOAK") ? 20u : 1u;
}

std::string wrap_temp_dir() {
  char name[] = "/tmp/wrap_dir_XXXXXX";
  if (!mkdtemp(name))
    return "/tmp";
  return name;
}
