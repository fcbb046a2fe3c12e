// CNF generators, reader, checker and reference runner for the Wren tests.
#include "tests/tools/lib/wren_cnf.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wrentest {

void Cnf::add(std::vector<int> c) {
  for (int l : c) {
    int v = l < 0 ? -l : l;
    if (v > nvars) nvars = v;
  }
  clauses.push_back(std::move(c));
}

uint64_t Rng::next() {
  uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

Cnf random_ksat(int n, int m, int k, Rng& rng) {
  Cnf f;
  f.nvars = n;
  for (int i = 0; i < m; i++) {
    std::vector<int> c;
    while ((int)c.size() < k) {
      int v = 1 + rng.below(n);
      bool dup = false;
      for (int l : c) dup |= (l == v || l == -v);
      if (!dup) c.push_back(rng.coin() ? v : -v);
    }
    f.add(c);
  }
  return f;
}

Cnf pigeonhole(int pigeons, int holes) {
  Cnf f;
  auto x = [holes](int p, int h) { return p * holes + h + 1; };
  f.nvars = pigeons * holes;
  for (int p = 0; p < pigeons; p++) {
    std::vector<int> c;
    for (int h = 0; h < holes; h++) c.push_back(x(p, h));
    f.add(c);
  }
  for (int h = 0; h < holes; h++)
    for (int p = 0; p < pigeons; p++)
      for (int q = p + 1; q < pigeons; q++) f.add({-x(p, h), -x(q, h)});
  return f;
}

Cnf parity(int n, int m, int width, Rng& rng) {
  Cnf f;
  f.nvars = n;
  for (int i = 0; i < m; i++) {
    std::vector<int> vs;
    while ((int)vs.size() < width) {
      int v = 1 + rng.below(n);
      bool dup = false;
      for (int u : vs) dup |= u == v;
      if (!dup) vs.push_back(v);
    }
    int rhs = rng.coin() ? 1 : 0;
    // Forbid every assignment of vs with the wrong parity.
    for (int bits = 0; bits < (1 << width); bits++) {
      if ((__builtin_popcount(bits) & 1) == rhs) continue;
      std::vector<int> c;
      for (int j = 0; j < width; j++) c.push_back(((bits >> j) & 1) ? -vs[j] : vs[j]);
      f.add(c);
    }
  }
  return f;
}

Cnf colouring(int nodes, int edges, int k, Rng& rng) {
  Cnf f;
  auto x = [k](int node, int col) { return node * k + col + 1; };
  f.nvars = nodes * k;
  for (int v = 0; v < nodes; v++) {
    std::vector<int> c;
    for (int col = 0; col < k; col++) c.push_back(x(v, col));
    f.add(c);
    for (int a = 0; a < k; a++)
      for (int b = a + 1; b < k; b++) f.add({-x(v, a), -x(v, b)});
  }
  for (int e = 0; e < edges; e++) {
    int a = rng.below(nodes);
    int b = rng.below(nodes);
    if (a == b) continue;
    for (int col = 0; col < k; col++) f.add({-x(a, col), -x(b, col)});
  }
  return f;
}

bool read_dimacs(const std::string& path, Cnf& out, std::string& err) {
  out = Cnf();
  bool gz = path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
  FILE* in = nullptr;
  if (gz) {
    std::string cmd = "gzip -dc '" + path + "'";
    in = popen(cmd.c_str(), "r");
  } else {
    in = std::fopen(path.c_str(), "r");
  }
  if (in == nullptr) {
    err = "cannot open " + path;
    return false;
  }
  std::vector<int> clause;
  int declared = 0;
  int ch;
  bool ok = true;
  while ((ch = std::fgetc(in)) != EOF) {
    if (ch == 'c' || ch == 'p' || ch == '%') {
      std::string line(1, (char)ch);
      while ((ch = std::fgetc(in)) != EOF && ch != '\n') line += (char)ch;
      if (line[0] == 'p') std::sscanf(line.c_str(), "p cnf %d", &declared);
      if (line[0] == '%') break;  // SATLIB files end with "%\n0"
      continue;
    }
    if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') continue;
    std::ungetc(ch, in);
    long long lit;
    if (std::fscanf(in, "%lld", &lit) != 1) {
      err = "bad token in " + path;
      ok = false;
      break;
    }
    if (lit == 0) {
      out.add(clause);
      clause.clear();
    } else {
      clause.push_back((int)lit);
    }
  }
  if (!clause.empty()) out.add(clause);
  if (declared > out.nvars) out.nvars = declared;
  if (gz)
    pclose(in);
  else
    std::fclose(in);
  return ok;
}

bool write_dimacs(const std::string& path, const Cnf& f) {
  FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  std::fprintf(out, "p cnf %d %zu\n", f.nvars, f.clauses.size());
  for (const auto& c : f.clauses) {
    for (int l : c) std::fprintf(out, "%d ", l);
    std::fprintf(out, "0\n");
  }
  return std::fclose(out) == 0;
}

long first_falsified(const Cnf& f, const std::vector<bool>& model) {
  for (size_t i = 0; i < f.clauses.size(); i++) {
    bool sat = false;
    for (int l : f.clauses[i]) {
      int v = l < 0 ? -l : l;
      if ((size_t)v < model.size() && model[v] == (l > 0)) {
        sat = true;
        break;
      }
    }
    if (!sat) return (long)i;
  }
  return -1;
}

int brute_force(const Cnf& f) {
  int n = f.nvars;
  if (n > 24) return 0;
  // Clauses as bit masks of positive and negative variables.
  std::vector<std::pair<uint32_t, uint32_t>> masks;
  for (const auto& c : f.clauses) {
    uint32_t pos = 0, neg = 0;
    for (int l : c) {
      if (l > 0)
        pos |= 1u << (l - 1);
      else
        neg |= 1u << (-l - 1);
    }
    masks.emplace_back(pos, neg);
  }
  for (uint32_t a = 0; a < (1u << n); a++) {
    bool all = true;
    for (auto& m : masks)
      if (!((a & m.first) || (~a & m.second))) {
        all = false;
        break;
      }
    if (all) return 10;
  }
  return 20;
}

bool reference_available() { return access("/usr/bin/cadical", X_OK) == 0; }

int reference_status_file(const std::string& path, double time_limit,
                          double* seconds) {
  // The limit is on CPU time (ulimit -t), so a loaded machine does not turn
  // a solved instance into a time-out.
  char script[64];
  std::snprintf(script, sizeof script, "ulimit -t %d; exec /usr/bin/cadical -q \"$0\"",
                std::max(1, (int)time_limit));
  std::fflush(stdout);
  std::fflush(stderr);
  // posix_spawn rather than fork: no copy of a large (sanitizer) address space.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string p = path;
  char* args[] = {(char*)"sh", (char*)"-c", script, &p[0], nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, "/bin/sh", &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return 0;
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) < 0) return 0;
  if (seconds)
    *seconds = (double)usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 +
               (double)usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
  if (!WIFEXITED(status)) return 0;
  int code = WEXITSTATUS(status);
  return code == 10 || code == 20 ? code : 0;
}

int reference_status(const Cnf& f, double time_limit, double* seconds) {
  char name[] = "/tmp/wren-ref-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) return 0;
  close(fd);
  int result = 0;
  if (write_dimacs(name, f)) result = reference_status_file(name, time_limit, seconds);
  std::remove(name);
  return result;
}

}  // namespace wrentest
