// Test helpers for the Tern engine: CNF files, the reference solver and
// generators of small satisfiable and unsatisfiable instances.
#include "tests/tools/lib/engine_cnf.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace engine_test {

static const char *kReference = "/usr/bin/cadical";

bool read_dimacs(const std::string &path, Cnf &cnf) {
  bool gz = path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
  FILE *f;
  if (gz) {
    std::string cmd = "gzip -dc '" + path + "'";
    f = popen(cmd.c_str(), "r");
  } else {
    f = fopen(path.c_str(), "r");
  }
  if (!f) return false;
  cnf = Cnf();
  std::vector<int> clause;
  int c;
  while ((c = getc(f)) != EOF) {
    if (c == 'c' || c == 'p') {
      if (c == 'p') {
        int v = 0, n = 0;
        if (fscanf(f, " cnf %d %d", &v, &n) == 2) cnf.vars = v;
      }
      while ((c = getc(f)) != EOF && c != '\n') {
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    ungetc(c, f);
    int lit;
    if (fscanf(f, "%d", &lit) != 1) break;
    if (!lit) {
      cnf.clauses.push_back(clause);
      clause.clear();
    } else {
      clause.push_back(lit);
      if (std::abs(lit) > cnf.vars) cnf.vars = std::abs(lit);
    }
  }
  if (gz) pclose(f);
  else fclose(f);
  return true;
}

bool write_dimacs(const std::string &path, const Cnf &cnf, const std::vector<int> &units) {
  FILE *f = fopen(path.c_str(), "w");
  if (!f) return false;
  fprintf(f, "p cnf %d %zu\n", cnf.vars, cnf.clauses.size() + units.size());
  for (const auto &cl : cnf.clauses) {
    for (int l : cl) fprintf(f, "%d ", l);
    fputs("0\n", f);
  }
  for (int u : units) fprintf(f, "%d 0\n", u);
  fclose(f);
  return true;
}

bool reference_available() { return access(kReference, X_OK) == 0; }

int reference_solve(const Cnf &cnf, const std::vector<int> &units) {
  char path[] = "/tmp/engine_ref_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return 0;
  close(fd);
  if (!write_dimacs(path, cnf, units)) return 0;
  // Run the reference directly (no shell, no copy of the address space):
  // its exit status is the answer.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  char *args[] = {(char *)kReference, (char *)"-q", (char *)"-n", path, nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, kReference, &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc) {
    remove(path);
    return 0;
  }
  int st = 0;
  while (waitpid(pid, &st, 0) < 0) {
  }
  remove(path);
  if (!WIFEXITED(st)) return 0;
  int code = WEXITSTATUS(st);
  return code == 10 || code == 20 ? code : 0;
}

bool satisfies(const Cnf &cnf, const std::vector<int> &model) {
  for (const auto &cl : cnf.clauses) {
    bool sat = false;
    for (int l : cl) {
      int v = std::abs(l);
      int x = v < (int)model.size() ? model[v] : 0;
      if ((l > 0 && x > 0) || (l < 0 && x < 0)) {
        sat = true;
        break;
      }
    }
    if (!sat) return false;
  }
  return true;
}

Cnf random_ksat(Rng &rng, int vars, int clauses, int k) {
  Cnf cnf;
  cnf.vars = vars;
  for (int i = 0; i < clauses; i++) {
    std::vector<int> cl;
    while ((int)cl.size() < k) {
      int v = (int)rng.below((uint32_t)vars) + 1;
      bool dup = false;
      for (int l : cl) dup |= std::abs(l) == v;
      if (dup) continue;
      cl.push_back(rng.below(2) ? v : -v);
    }
    cnf.clauses.push_back(cl);
  }
  return cnf;
}

Cnf pigeonhole(int holes) {
  Cnf cnf;
  int pigeons = holes + 1;
  auto var = [&](int p, int h) { return p * holes + h + 1; };
  cnf.vars = pigeons * holes;
  for (int p = 0; p < pigeons; p++) {
    std::vector<int> cl;
    for (int h = 0; h < holes; h++) cl.push_back(var(p, h));
    cnf.clauses.push_back(cl);
  }
  for (int h = 0; h < holes; h++)
    for (int p = 0; p < pigeons; p++)
      for (int q = p + 1; q < pigeons; q++) cnf.clauses.push_back({-var(p, h), -var(q, h)});
  return cnf;
}

// x1 xor ... xor xn = parity, as a chain of xor gates t_i = t_{i-1} xor x_i,
// with the constraints given twice over shuffled variable orders, so that a
// wrong parity is unsatisfiable but not trivially so.
Cnf parity_chain(Rng &rng, int n, bool satisfiable) {
  Cnf cnf;
  cnf.vars = n;
  auto xor_gate = [&](int out, int a, int b) {
    cnf.clauses.push_back({-out, a, b});
    cnf.clauses.push_back({-out, -a, -b});
    cnf.clauses.push_back({out, -a, b});
    cnf.clauses.push_back({out, a, -b});
  };
  int parity = (int)rng.below(2);
  for (int copy = 0; copy < 2; copy++) {
    std::vector<int> order(n);
    for (int i = 0; i < n; i++) order[i] = i + 1;
    for (int i = n - 1; i > 0; i--) std::swap(order[i], order[rng.below((uint32_t)i + 1)]);
    int acc = order[0];
    for (int i = 1; i < n; i++) {
      int t = ++cnf.vars;
      xor_gate(t, acc, order[i]);
      acc = t;
    }
    int want = copy == 0 ? parity : (satisfiable ? parity : 1 - parity);
    cnf.clauses.push_back({want ? acc : -acc});
  }
  return cnf;
}

// Multiplier circuit a * b = n over `bits`-bit factors, both factors > 1.
Cnf factoring(uint64_t n, int bits) {
  Cnf cnf;
  auto fresh = [&]() { return ++cnf.vars; };
  std::vector<int> a(bits), b(bits);
  for (int i = 0; i < bits; i++) a[i] = fresh();
  for (int i = 0; i < bits; i++) b[i] = fresh();
  int width = 2 * bits;
  int f = fresh();  // constant false
  cnf.clauses.push_back({-f});
  auto and2 = [&](int x, int y) {
    int o = fresh();
    cnf.clauses.push_back({-o, x});
    cnf.clauses.push_back({-o, y});
    cnf.clauses.push_back({o, -x, -y});
    return o;
  };
  auto xor2 = [&](int x, int y) {
    int o = fresh();
    cnf.clauses.push_back({-o, x, y});
    cnf.clauses.push_back({-o, -x, -y});
    cnf.clauses.push_back({o, -x, y});
    cnf.clauses.push_back({o, x, -y});
    return o;
  };
  auto or2 = [&](int x, int y) {
    int o = fresh();
    cnf.clauses.push_back({o, -x});
    cnf.clauses.push_back({o, -y});
    cnf.clauses.push_back({-o, x, y});
    return o;
  };
  std::vector<int> acc(width, f);
  for (int i = 0; i < bits; i++) {
    int carry = f;
    for (int j = 0; j < width; j++) {
      int pp = (j - i >= 0 && j - i < bits) ? and2(a[j - i], b[i]) : f;
      int s1 = xor2(acc[j], pp);
      int sum = xor2(s1, carry);
      int c1 = and2(acc[j], pp);
      int c2 = and2(s1, carry);
      carry = or2(c1, c2);
      acc[j] = sum;
    }
    cnf.clauses.push_back({-carry});
  }
  for (int j = 0; j < width; j++) cnf.clauses.push_back({((n >> j) & 1) ? acc[j] : -acc[j]});
  // both factors above 1: some bit other than bit 0 is set
  std::vector<int> ca(a.begin() + 1, a.end()), cb(b.begin() + 1, b.end());
  cnf.clauses.push_back(ca);
  cnf.clauses.push_back(cb);
  return cnf;
}

Cnf graph_colouring(Rng &rng, int nodes, int edges, int colours) {
  Cnf cnf;
  cnf.vars = nodes * colours;
  auto var = [&](int n, int c) { return n * colours + c + 1; };
  for (int n = 0; n < nodes; n++) {
    std::vector<int> cl;
    for (int c = 0; c < colours; c++) cl.push_back(var(n, c));
    cnf.clauses.push_back(cl);
    for (int c = 0; c < colours; c++)
      for (int d = c + 1; d < colours; d++) cnf.clauses.push_back({-var(n, c), -var(n, d)});
  }
  for (int e = 0; e < edges; e++) {
    int x = (int)rng.below((uint32_t)nodes), y = (int)rng.below((uint32_t)nodes);
    if (x == y) continue;
    for (int c = 0; c < colours; c++) cnf.clauses.push_back({-var(x, c), -var(y, c)});
  }
  return cnf;
}

}  // namespace engine_test
