// Files of the preprocessor: the temporary elimination record and its
// removal (by the owner, at exit), the registry, BCNF with its chunk bound,
// the write-and-stop mode's DIMACS text and variable map, their failures,
// and the report routine.
#include "pbtranslator/shrike.hpp"
#include "pbtranslator/shrike_files.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<int> words(const std::string &bytes) {
  std::vector<int> w(bytes.size() / 4);
  std::memcpy(w.data(), bytes.data(), w.size() * 4);
  return w;
}

// A fresh directory under /tmp, removed with its contents when the test
// ends, also after a failed assertion.
struct TempDir {
  std::string path;
  TempDir() {
    char templ[] = "/tmp/shrike_files_XXXXXX";
    char *d = mkdtemp(templ);
    path = d != nullptr ? d : "";
  }
  ~TempDir() {
    if (!path.empty())
      std::filesystem::remove_all(path);
  }
};

Lit toLitD(int l) { return Lit(std::abs(l) - 1, l < 0); }

void add(Shrike::Solver &s, std::initializer_list<int> lits) {
  vec<Lit> ps;
  for (int l : lits)
    ps.push(toLitD(l));
  s.addClause(ps);
}

//=============================================================================
// Temporary files.

TEST(ShrikeTmpFiles, RecordLivesUnderTmpAndGoesWithItsSolver) {
  std::string name;
  {
    Shrike::Solver s(Shrike::occ_Permanent, nullptr);
    ASSERT_NE(s.elimFileName, nullptr);
    name = s.elimFileName;
    EXPECT_EQ(name.rfind("/tmp/tmp_elims__", 0), 0u);
    EXPECT_EQ(name.size(), std::strlen("/tmp/tmp_elims__") + 6);
    EXPECT_TRUE(exists(name));
    bool registered = false;
    for (char *f : Shrike::tmp_files)
      registered |= name == f;
    EXPECT_TRUE(registered);
  }
  EXPECT_FALSE(exists(name));
  for (char *f : Shrike::tmp_files)
    EXPECT_NE(name, f);
}

// Runs body in a child that reports the record's name through a pipe and then
// leaves by exit(status); returns the name.
template <class F> std::string name_after_exit(F body, int status) {
  int fds[2];
  if (pipe(fds) != 0)
    return "";
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string n = body();
    if (write(fds[1], n.c_str(), n.size()) < 0)
      _exit(99);
    close(fds[1]);
    std::exit(status);
  }
  close(fds[1]);
  char buf[256] = {};
  ssize_t got = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), status);
  return got > 0 ? std::string(buf, (size_t)got) : "";
}

TEST(ShrikeTmpFiles, RecordsAreRemovedAtProcessExit) {
  for (int status : {0, 1, 3}) {
    std::string name = name_after_exit(
        []() {
          // Never destroyed: only the exit-time cleanup can remove it.
          static Shrike::Solver *s =
              new Shrike::Solver(Shrike::occ_Permanent, nullptr);
          return std::string(s->elimFileName);
        },
        status);
    ASSERT_FALSE(name.empty());
    EXPECT_FALSE(exists(name)) << name << " left behind, status " << status;
  }
}

TEST(ShrikeTmpFiles, RegistryDeletesByExactNameOrBySixCharacterSuffix) {
  TempDir td;
  std::string dir = td.path;
  std::string a = dir + "/a", ab = dir + "/ab";
  char *n1, *n2, *n3;
  Shrike::createTmpFile(a.c_str(), "w+b", n1);
  Shrike::createTmpFile(a.c_str(), "w+b", n2);
  Shrike::createTmpFile(ab.c_str(), "w+b", n3);
  std::string s1 = n1, s2 = n2, s3 = n3;
  EXPECT_TRUE(exists(s1) && exists(s2) && exists(s3));
  Shrike::deleteTmpFile(a.c_str(), false); // a + 6 characters only
  EXPECT_FALSE(exists(s1));
  EXPECT_FALSE(exists(s2));
  EXPECT_TRUE(exists(s3));
  Shrike::deleteTmpFile(ab.c_str(), true); // no entry is named exactly so
  EXPECT_TRUE(exists(s3));
  Shrike::deleteTmpFile(s3.c_str(), true);
  EXPECT_FALSE(exists(s3));
  rmdir(dir.c_str());
}

TEST(ShrikeTmpFilesDeath, UncreatableTemporaryFileIsAnError) {
  char *name;
  EXPECT_EXIT(Shrike::createTmpFile("/nonexistent-dir/tmp_", "w+b", name),
              testing::ExitedWithCode(1),
              "ERROR! Could not create temporary file with prefix: "
              "/nonexistent-dir/tmp_");
}

TEST(ShrikeTmpFiles, NamedRecordIsKeptOutOfTheRegistry) {
  TempDir td;
  std::string dir = td.path;
  std::string path = dir + "/record.bin";
  int before = Shrike::tmp_files.size();
  {
    Shrike::Solver s(Shrike::occ_Permanent, path.c_str());
    EXPECT_EQ(s.elimFileName, nullptr);
    EXPECT_EQ(Shrike::tmp_files.size(), before);
    s.newVar(true);
    s.newVar(true);
    add(s, {1, 2});
    add(s, {1, -2});
    s.simplifyBySubsumption(true);
  }
  EXPECT_TRUE(exists(path)); // the caller's file stays
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

TEST(ShrikeTmpFilesDeath, UnopenableNamedRecordIsAnError) {
  EXPECT_EXIT(Shrike::Solver(Shrike::occ_Permanent, "/nonexistent-dir/rec"),
              testing::ExitedWithCode(1),
              "ERROR! Could not open elimination record: /nonexistent-dir/rec");
}

TEST(ShrikeTmpFilesDeath, FailedRecordWriteIsAnError) {
  // /dev/full opens but refuses every byte: the flush before reading the
  // record back must not pass silently.
  EXPECT_EXIT(
      {
        Shrike::Solver s(Shrike::occ_Permanent, "/dev/full");
        for (int i = 0; i < 4; i++)
          s.newVar(true);
        add(s, {1, 2, 3});
        add(s, {-1, 4});
        s.solve();
      },
      testing::ExitedWithCode(1), "ERROR! Could not write file");
}

TEST(ShrikeTmpFiles, RecordHoldsEliminatedClausesInOrder) {
  Shrike::Solver s(Shrike::occ_Permanent, nullptr);
  for (int i = 0; i < 4; i++)
    s.newVar(true);
  add(s, {1, 2, 3});
  add(s, {-1, 4});
  ASSERT_TRUE(s.maybeEliminate(0));
  std::fflush(s.elimFile);
  std::vector<int> w = words(slurp(s.elimFileName));
  // (x0 x1 x2) = codes 0 2 4, then (~x0 x3) = codes 1 6.
  EXPECT_EQ(w, (std::vector<int>{3, 0, 2, 4, 2, 1, 6}));
}

TEST(ShrikeTmpFiles, FalseRecordClauseIsReportedAndReadingGoesOn) {
  Shrike::Solver s(Shrike::occ_Permanent, nullptr);
  s.newVar(true);
  s.newVar(true);
  ASSERT_TRUE(s.enqueue(Lit(0))); // x0 true at the root
  // Records (~x0) and (x1): the first contradicts the fixed value.
  int words[] = {1, 1, 1, 2};
  ASSERT_EQ(std::fwrite(words, sizeof(int), 4, s.elimFile), 4u);
  testing::internal::CaptureStdout();
  s.extendModel();
  std::string text = testing::internal::GetCapturedStdout();
  EXPECT_NE(text.find("PANIC! False clause read back: { ~x0:0 }\n"),
            std::string::npos)
      << text;
}

//=============================================================================
// BCNF.

struct Bcnf {
  std::vector<int> header;
  std::vector<std::vector<int>> clauses;
  std::vector<int> chunk_lengths;
  std::vector<int> first_clause_sizes; // per chunk
  bool well_formed = true;
};

Bcnf read_bcnf(const std::string &path) {
  std::vector<int> w = words(slurp(path));
  Bcnf out;
  if (w.size() < 4) {
    out.well_formed = false;
    return out;
  }
  out.header.assign(w.begin(), w.begin() + 4);
  size_t i = 4;
  while (i < w.size()) {
    int len = w[i];
    out.chunk_lengths.push_back(len);
    size_t end = i + (size_t)len;
    if (len < 1 || end >= w.size() || w[end] != -1) {
      out.well_formed = false;
      return out;
    }
    size_t j = i + 1;
    out.first_clause_sizes.push_back(j < end ? w[j] : -1);
    while (j < end) {
      int n = w[j++];
      out.clauses.emplace_back(w.begin() + (long)j, w.begin() + (long)j + n);
      j += (size_t)n;
    }
    if (j != end)
      out.well_formed = false;
    i = end + 1;
  }
  return out;
}

TEST(ShrikeBcnf, EmptyFileIsHeaderAndOneEmptyChunk) {
  TempDir td;
  std::string dir = td.path;
  std::string path = dir + "/empty.bcnf";
  { Shrike::BcnfWriter w(path.c_str()); }
  std::string bytes = slurp(path);
  ASSERT_EQ(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 4), "BCNF");
  std::vector<int> w = words(bytes);
  EXPECT_EQ(w[1], 0x01020304);
  EXPECT_EQ(w[2], 0);
  EXPECT_EQ(w[3], 0);
  EXPECT_EQ(w[4], 1);
  EXPECT_EQ(w[5], -1);
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

TEST(ShrikeBcnf, ChunksStayWithinTheBoundAndKeepClausesWhole) {
  TempDir td;
  std::string dir = td.path;
  std::string path = dir + "/big.bcnf";
  std::vector<std::vector<int>> written;
  {
    Shrike::BcnfWriter w(path.c_str());
    vec<Lit> ps;
    uint32_t seed = 12345;
    for (int i = 0; i < 260000; i++) {
      seed = seed * 1103515245u + 12345u;
      int n = 1 + (int)((seed >> 16) % 12);
      if (i == 5000)
        n = 300000; // a long clause forces an early flush
      ps.clear();
      std::vector<int> codes;
      for (int k = 0; k < n; k++) {
        int code = (int)((seed >> 8) % 5000) * 2 + (k & 1) + 2 * k % 7;
        ps.push(toLit(code));
        codes.push_back(code);
      }
      w.addClause(ps);
      written.push_back(codes);
    }
  }
  Bcnf b = read_bcnf(path);
  ASSERT_TRUE(b.well_formed);
  EXPECT_EQ(b.header[3], (int)written.size());
  int max_var = 0;
  for (const auto &cl : written)
    for (int c : cl)
      max_var = std::max(max_var, c >> 1);
  EXPECT_EQ(b.header[2], max_var + 1);
  EXPECT_EQ(b.clauses, written);
  ASSERT_GE(b.chunk_lengths.size(), 3u);
  for (size_t k = 0; k < b.chunk_lengths.size(); k++) {
    EXPECT_LE(b.chunk_lengths[k] + 1, Shrike::bcnf_chunk_words);
    // A chunk was closed only because the next clause would not fit.
    if (k + 1 < b.chunk_lengths.size()) {
      EXPECT_GT(b.chunk_lengths[k] + b.first_clause_sizes[k + 1] + 3,
                Shrike::bcnf_chunk_limit);
    }
  }
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

TEST(ShrikeBcnfDeath, ClauseLongerThanAChunkIsAnError) {
  TempDir td;
  std::string dir = td.path;
  std::string path = dir + "/long.bcnf";
  EXPECT_EXIT(
      {
        Shrike::BcnfWriter w(path.c_str());
        vec<Lit> ps;
        for (int i = 0; i < Shrike::bcnf_chunk_limit; i++)
          ps.push(Lit(i));
        w.addClause(ps);
      },
      testing::ExitedWithCode(2), "ERROR! Clause too long for a BCNF chunk");
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

TEST(ShrikeBcnfDeath, UnopenableFileIsAnError) {
  EXPECT_EXIT(
      Shrike::BcnfWriter("/nonexistent-dir/x.bcnf"), testing::ExitedWithCode(2),
      "ERROR! Could not open file for writing: /nonexistent-dir/x.bcnf");
}

//=============================================================================
// Write-and-stop mode.

// Variables 1..7: 2 and 7 unused, 6 fixed false; no elimination.
void write_and_stop(const char *out, const char *varmap) {
  Shrike::opt_var_elim = false;
  Shrike::opt_pre_sat = true;
  Shrike::output_file = out;
  Shrike::varmap_file = varmap;
  static Shrike::Solver *s = nullptr; // reachable until the process ends
  s = new Shrike::Solver(Shrike::occ_Permanent, nullptr);
  for (int i = 0; i < 7; i++)
    s->newVar(true);
  add(*s, {1, 3, 4});
  add(*s, {-1, -3, 5});
  add(*s, {3, -4, -5});
  add(*s, {-6});
  s->simplifyBySubsumption(true);
  std::exit(7); // not reached: the mode ends the process with status 0
}

const char *kDimacs = "p cnf 4 3\n"
                      "c\n"
                      "c   #vars: 4   #clauses: 3   #literals: 9\n"
                      "c\n"
                      "1 2 3 0\n"
                      "-1 -2 4 0\n"
                      "2 -3 -4 0\n";

TEST(ShrikeOutputDeath, DimacsTextAndVariableMap) {
  TempDir td;
  std::string dir = td.path;
  std::string out = dir + "/out.cnf", map = dir + "/map.txt";
  EXPECT_EXIT(write_and_stop(out.c_str(), map.c_str()),
              testing::ExitedWithCode(0), "");
  EXPECT_EQ(slurp(out), kDimacs);
  EXPECT_EQ(slurp(map), "7 0\n-6 0\n1 3 4 5 0\n");
  std::remove(out.c_str());
  std::remove(map.c_str());
  rmdir(dir.c_str());
}

TEST(ShrikeOutputDeath, DashWritesToStandardOutput) {
  EXPECT_EXIT(write_and_stop("-", nullptr), testing::ExitedWithCode(0), "");
  testing::internal::CaptureStdout();
  pid_t pid = fork();
  if (pid == 0)
    write_and_stop("-", nullptr);
  int st;
  waitpid(pid, &st, 0);
  std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(text, kDimacs);
}

TEST(ShrikeOutputDeath, BcnfIsChosenByTheNameEnding) {
  TempDir td;
  std::string dir = td.path;
  struct Case {
    const char *name;
    bool bcnf;
  } cases[] = {
      {"x.bcnf", true}, {".bcnf", true}, {"bcnf", false}, {"x.bcnfz", false}};
  for (const Case &c : cases) {
    std::string path = dir + "/" + c.name;
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0)
        _exit(9);
      write_and_stop(c.name, nullptr);
    }
    int st;
    waitpid(pid, &st, 0);
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << c.name;
    std::string bytes = slurp(path);
    if (c.bcnf) {
      Bcnf b = read_bcnf(path);
      ASSERT_TRUE(b.well_formed) << c.name;
      EXPECT_EQ(bytes.substr(0, 4), "BCNF");
      EXPECT_EQ(b.header[2], 4) << c.name;
      EXPECT_EQ(b.header[3], 3) << c.name;
      // Mapped literals 2v + s: (1 2 3), (-1 -2 4), (2 -3 -4).
      EXPECT_EQ(b.clauses, (std::vector<std::vector<int>>{
                               {0, 2, 4}, {1, 3, 6}, {2, 5, 7}}));
    } else {
      EXPECT_EQ(bytes, kDimacs) << c.name;
    }
    std::remove(path.c_str());
  }
  rmdir(dir.c_str());
}

TEST(ShrikeOutputDeath, UnopenableOutputsAreErrors) {
  EXPECT_EXIT(write_and_stop("/nonexistent-dir/o.cnf", nullptr),
              testing::ExitedWithCode(1),
              "ERROR! Could not open output file: /nonexistent-dir/o.cnf");
  TempDir td;
  std::string dir = td.path;
  std::string out = dir + "/o.cnf";
  EXPECT_EXIT(write_and_stop(out.c_str(), "/nonexistent-dir/map"),
              testing::ExitedWithCode(1),
              "ERROR! Could not open output file: /nonexistent-dir/map");
  std::remove(out.c_str());
  rmdir(dir.c_str());
}

//=============================================================================
// Report routine.

TEST(ShrikeReport, CommentPrefixAndBoldToggles) {
  Shrike::reportf("\n"); // to the start of a line, whatever came before
  testing::internal::CaptureStdout();
  Shrike::reportf("ab\ncd");
  Shrike::reportf("%s", "");
  Shrike::reportf("\bX\b\n");
  Shrike::reportf("\bB\b\r");
  Shrike::reportf("z\n");
  std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(text, "c ab\nc cd\033[1mX\033[0m\n"
                  "c \033[1mB\033[0m\rc z\n");
}

} // namespace
