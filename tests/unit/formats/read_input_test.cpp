// Format detection and the DIMACS-family readers, each on small files,
// plain and gzip, whose clause sets are asserted completely: weights, groups,
// merging of repeated clauses, top weights, problem types, and the header
// and input errors with their messages and exit statuses.
#include "formats/read_input.hpp"

#include "formats_test_util.hpp"
#include "model/cl_id_manager.hpp"
#include "model/logger.hpp"
#include "model/zor_config.hpp"

using ftest::ClauseInfo;
using ftest::Loaded;
using ftest::Snapshot;

namespace {
constexpr long long kMax = BasicClauseSet::kMaxWeight;

struct Expected {
  MS_Problems type;
  long long top_id;
  long long top;
  Snapshot clauses; // group -2: not checked
};

// Loads the text as a plain and as a gzip file (same ending plus ".gz") and
// checks both against the expectation.
void check_both(const std::string &name, const std::string &text,
                const Expected &want) {
  for (bool gz : {false, true}) {
    SCOPED_TRACE(gz ? name + ".gz" : name);
    std::string path = gz ? ftest::write_gz(name + ".gz", text)
                          : ftest::write_file(name, text);
    Loaded l(path);
    EXPECT_EQ(l.type, want.type);
    EXPECT_EQ(l.imgr.top_id, want.top_id);
    EXPECT_EQ(l.set.top_weight, want.top);
    EXPECT_EQ(l.set.def_cltype, ClauseType::Hard);
    Snapshot got = ftest::snapshot(l.set);
    for (auto &e : got) {
      auto it = want.clauses.find(e.first);
      if (it != want.clauses.end() && it->second.group == -2)
        e.second.group = -2;
    }
    EXPECT_EQ(got, want.clauses);
  }
}

void expect_fails(const std::string &name, const std::string &text,
                  int status, const std::string &regex) {
  std::string path = ftest::write_file(name, text);
  EXPECT_EXIT_MSG(Loaded l(path), status, regex) << text;
}
} // namespace

TEST(ReadInput, CnfEveryOccurrenceAddsWeightOneAndGroupIsTheId) {
  std::string text = "c a comment\np cnf 3 5\n1 -2 0\n-2 1\n0 3 0 0\n"
                     "1 1 -2 0\n";
  check_both("a.cnf", text,
             {MS_Problems::Plain, 3, kMax,
              {{{1, -2}, {3, -2}}, {{3}, {1, -2}}, {{}, {1, -2}}}});
  Loaded l(ftest::write_file("b.cnf", text));
  for (BasicClause *c : l.set)
    EXPECT_EQ(c->group, c->id);
}

TEST(ReadInput, CnfClauseIdsFollowTheClausePositions) {
  // Clause k of the file gets an identifier of at least k.
  Loaded l(ftest::write_file("ids.cnf", "p cnf 2 3\n1 0\n1 0\n1 0\n2 0\n"));
  long long id = 0;
  for (BasicClause *c : l.set)
    if (c->lits == LitVector{2})
      id = c->id;
  EXPECT_GE(id, 4);
  EXPECT_GE(ClauseIdManager::instance->next_id, 5);
}

TEST(ReadInput, CnfWithoutClausesHasTopIdOne) {
  check_both("empty.cnf", "p cnf 0 0\n", {MS_Problems::Plain, 1, kMax, {}});
}

TEST(ReadInput, HeadersDeclareTheirVariableCount) {
  // The count is kept apart from the top id, which only the clauses raise;
  // one beyond the largest variable accepted is not kept.
  const std::pair<const char *, const char *> files[] = {
      {"d.cnf", "p cnf 7 1\n1 0\n"},
      {"d.pmcnf", "p pmcnf 7 1\n1 0\n"},
      {"d.wcnf", "p wcnf 7 1 9\n2 1 0\n"},
      {"d.gwcnf", "p gwcnf 7 1 9\n2 2 1 0\n"},
      {"d.scnf", "p scnf 7 1\n2 1 0\n"},
  };
  for (const auto &f : files) {
    Loaded l(ftest::write_file(f.first, f.second));
    EXPECT_EQ(l.imgr.declared_vars, 7) << f.first;
    EXPECT_EQ(l.imgr.top_id, 1) << f.first;
  }
  Loaded huge(ftest::write_file("h.cnf", "p cnf 1073741824 1\n1 0\n"));
  EXPECT_EQ(huge.imgr.declared_vars, 0);
}

TEST(ReadInput, PmcnfHardAndSoftModes) {
  std::string text = "p pmcnf 4 6\n1 2 0\n" // soft before any mode line
                     "p hard\n1 -2 4 0\n-3 0\n"
                     "p soft\n-2 -4 0\n-2 -4 0\n" // soft twice: weight 2
                     "4 -2 1 0\n"                 // hard repeated as soft
                     "p hard\n1 2 0\n";           // soft made hard
  check_both("a.pmcnf", text,
             {MS_Problems::Partial, 4, kMax,
              {{{1, -2, 4}, {kMax, -1}},
               {{-3}, {kMax, -1}},
               {{-2, -4}, {2, -1}},
               {{1, 2}, {kMax, -1}}}});
}

TEST(ReadInput, PmcnfHeaderErrors) {
  expect_fails("3.pmcnf", "p pmcnf 4 5 7\n", 3,
               "^PARSE ERROR! Unexpected int: 7\n");
  expect_fails("x.pmcnf", "p pmcnf 4 5\np medium\n", 3,
               "^PARSE ERROR! Unexpected format: medium\n");
  // A carriage return does not end a pmcnf header: the next line's number
  // is taken as a third header number.
  expect_fails("crlf.pmcnf", "p pmcnf 4 5\r\n1 2 0\r\n", 3,
               "^PARSE ERROR! Unexpected int: 1\n");
}

TEST(ReadInput, WcnfWeightsAddUpToTheTopWeight) {
  check_both("a.wcnf",
             "p wcnf 3 5 5\n3 1 2 0\n4 2 1 0\n2 -3 0\n2 -3 0\n0 3 0\n"
             "5 -1 0\n9 1 -1 0\n1 -3 0\n",
             {MS_Problems::Weighted, 3, 5,
              {{{1, 2}, {5, -1}},  // 3 + 4 capped at the top: hard
               {{-3}, {5, -1}},    // 2 + 2 + 1
               {{3}, {0, -1}},     // weight 0 is legal
               {{-1}, {5, -1}},    // weight equal to the top: hard
               {{-1, 1}, {5, -1}}}}); // weight above the top: capped
}

TEST(ReadInput, WcnfWithoutTopWeightIsAllSoft) {
  check_both("b.wcnf", "c x\np wcnf 2 3 \n3 1 2 0\n4 2 1 0\n00 -2 0\n",
             {MS_Problems::Weighted, 2, kMax,
              {{{1, 2}, {7, -1}}, {{-2}, {0, -1}}}});
}

TEST(ReadInput, WcnfCarriageReturnEndsTheHeader) {
  check_both("crlf.wcnf", "p wcnf 2 1 9\r\n3 1 -2 0\r\n",
             {MS_Problems::Weighted, 2, 9, {{{1, -2}, {3, -1}}}});
}

TEST(ReadInput, WcnfSaturatingSums) {
  // Without a top weight, sums saturate at the largest weight.
  check_both("sat.wcnf",
             "p wcnf 1 2\n9223372036854775807 1 0\n9223372036854775807 1 0\n",
             {MS_Problems::Weighted, 1, kMax, {{{1}, {kMax, -1}}}});
}

TEST(ReadInput, WcnfErrors) {
  expect_fails("w1.wcnf", "p wcnf 2 1 0\n1 1 0\n", 3,
               "^PARSE ERROR! Top weight below 1: 0\n");
  expect_fails("w2.wcnf", "p wcnf 2 1 -3\n", 3,
               "^PARSE ERROR! Top weight below 1: -3\n");
  expect_fails("w3.wcnf", "p wcnf 2 1 10\n-1 1 0\n", 3,
               "^PARSE ERROR! Negative weight: -1\n");
  expect_fails("w4.wcnf", "p wcnf 2 1 10 11\n", 3,
               "^PARSE ERROR! Unexpected int: 11\n");
  expect_fails("w5.wcnf", "p wcnf 2 1 10\np cnf 2 1\n", 3,
               "^PARSE ERROR! Unexpected int: cnf\n");
  expect_fails("w6.wcnf", "p wcnf 2 1 10", 3,
               "^PARSE ERROR! Unexpected char: \xff\n");
  expect_fails("w7.wcnf", "p wcnf 2 1 10\n1 1 2 0\n%\n0\n", 3,
               "^PARSE ERROR! Unexpected char: %\n");
  expect_fails("w8.wcnf", "p wcnf 2 1 10\n1 1 2", 3,
               "^PARSE ERROR! Unexpected char: \xff\n");
  expect_fails("w9.wcnf", "p wcnf 2 1 10\n1 1 1073741824 0\n", 3,
               "^PARSE ERROR! Variable out of range: 1073741824");
  expect_fails("w10.wcnf", "p wcnf 2 1 10\n1 1 -4000000000 0\n", 3,
               "^PARSE ERROR! Variable out of range: -4000000000");
  expect_fails("w11.wcnf",
               "p wcnf 2 1 10\n1234567890123456789012345 1 0\n", 3,
               "^PARSE ERROR! Number out of range: 1234567890123456789012345");
  expect_fails("w12.wcnf", "p wcnf 2 1 10\n1 1 \xff 0\n", 3,
               "^PARSE ERROR! Unexpected char: \xff\n");
}

TEST(ReadInput, GwcnfGroupWeightsBoundTheTopWeight) {
  // Groups 7 (weight 2) and 9 (weight 5); later weights of a group do not
  // count; hard clauses (weight = top) do not count.
  check_both("a.gwcnf",
             "p gwcnf 3 5\n7 2 1 2 0\n9 5 -1 0\n7 3 3 0\n9 1 -1 0\n",
             {MS_Problems::Weighted, 3, 8,
              {{{1, 2}, {2, 7}}, {{-1}, {6, 9}}, {{3}, {3, 7}}}});
  check_both("b.gwcnf", "p gwcnf 2 3 20\n1 20 1 0\n2 4 2 0\n3 6 -2 0\n",
             {MS_Problems::Weighted, 2, 11,
              {{{1}, {20, 1}}, {{2}, {4, 2}}, {{-2}, {6, 3}}}});
  // A clause repeated within its group: weight 10 while the group sum is
  // 1 + 5; the clause stays soft.
  check_both("c.gwcnf", "p gwcnf 2 2\n1 5 1 0\n1 5 1 0\n2 1 2 0\n",
             {MS_Problems::Weighted, 2, 11,
              {{{1}, {10, 1}}, {{2}, {1, 2}}}});
  expect_fails("e.gwcnf", "p gwcnf 2 3 20\n1 -4 1 0\n", 3,
               "^PARSE ERROR! Negative weight: -4\n");
  expect_fails("f.gwcnf", "p gwcnf 2 3 20\np wcnf 1 1\n", 3,
               "^PARSE ERROR! Unexpected int: wcnf\n");
}

TEST(ReadInput, ScnfGroupIsTheWeight) {
  std::string text = "p scnf 3 3 10\n2 1 2 0\n5 -3 0\n2 3 0\n";
  check_both("a.scnf", text,
             {MS_Problems::SoftCnf, 3, 10,
              {{{1, 2}, {2, -1}}, {{-3}, {5, -1}}, {{3}, {2, -1}}}});
  Loaded l(ftest::write_file("b.scnf", text));
  EXPECT_EQ(l.set.groups.at(2).size(), 2u);
  EXPECT_EQ(l.set.groups.at(5).size(), 1u);
  expect_fails("c.scnf", "p scnf 3 3 10 1\n", 3,
               "^PARSE ERROR! Unexpected int: 1\n");
  // A carriage return does not end the header: the next line's first
  // number becomes the top weight and its second a fourth number.
  expect_fails("d.scnf", "p scnf 3 3\r\n4 1 0\r\n", 3,
               "^PARSE ERROR! Unexpected int: 1\n");
}

TEST(ReadInput, DetectionByFormatLine) {
  expect_fails("c.txt", "c only comments\nc\n", 3,
               " ERROR: Invalid file format. Should be <cnf\\|wcnf\\|pmcnf>");
  expect_fails("d.txt", "c x\n1 2 0\n", 1, "^File without format line\n");
  expect_fails("ff.txt", "\xff\np cnf 1 1\n1 0\n", 1,
               "^File without format line\n");
  expect_fails("ff2.txt", "c \xff\xff\np wxyz 1 1\n", 3,
               " ERROR: Invalid file format");
  std::string missing = ftest::temp_path("no-such-file.cnf");
  EXPECT_EXIT_MSG(Loaded l(missing), 3,
                  " ERROR: Could not open file: " + missing + "\n");
  // Comment lines may hold any byte, 0xFF included.
  check_both("ffc.cnf", "c \xff\xff\np cnf 1 1\n1 0\n",
             {MS_Problems::Plain, 1, kMax, {{{1}, {1, -2}}}});
}

TEST(ReadInput, DetectionByFileName) {
  EXPECT_EQ(format_from_name("x.wcsp"), "wcsp");
  EXPECT_EQ(format_from_name("xwcsp"), "wcsp");
  EXPECT_EQ(format_from_name("a.wbo"), "wbo");
  EXPECT_EQ(format_from_name("a.opb"), "opb");
  EXPECT_EQ(format_from_name("a.opb.gz"), "");
  EXPECT_EQ(format_from_name("opb"), "");
  // ".opb" reaches the OPB reader whatever the first line says.
  {
    std::string path = ftest::write_file("a.opb", "min: +3 x1 ;\n");
    testing::internal::CaptureStdout();
    Loaded l(path);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(l.type, MS_Problems::Weighted);
    EXPECT_EQ(l.set.size(), 1u);
  }
  // A WCSP file is read by name, whatever its first line says.
  Loaded l(ftest::write_file("n.wcsp", "name 1 2 0 5\n2\n"));
  EXPECT_EQ(l.type, MS_Problems::Weighted);
  EXPECT_EQ(l.set.size(), 2u);
}

TEST(ReadInput, ProgressLinesAtVerbosityTwo) {
  std::string path = ftest::write_file("v.cnf", "p cnf 1 1\n1 0\n");
  ZORConfig::comp_format = false;
  Logger::verbosity = 2;
  testing::internal::CaptureStdout();
  { Loaded l(path); }
  std::string out = testing::internal::GetCapturedStdout();
  Logger::verbosity = 1;
  EXPECT_EQ(out.rfind("Parsing... ... Done. CPU time ", 0), 0u) << out;
}
