// The input stream and the lexer: bytes are unsigned and EOF only comes at
// the end, refills inside tokens, integer range checks, words, operators,
// expressions and the normalisation of pseudo-Boolean constraints, and read
// errors of damaged gzip files.
#include "formats/fmt_utils.hpp"

#include "formats_test_util.hpp"

using namespace FMTUtils;
using ftest::Stream;

namespace {
long long int_of(const std::string &text) {
  Stream<> s(ftest::write_file("int.txt", text));
  return parseLongInt(s.in);
}
} // namespace

TEST(StreamBuffer, EmptyFileIsAtEndAtOnce) {
  Stream<> s(ftest::write_file("empty.txt", ""));
  EXPECT_EQ(*s.in, EOF);
  EXPECT_TRUE(s.in.at_eof());
  ++s.in; // no-op at the end
  EXPECT_EQ(*s.in, EOF);
  Stream<> g(ftest::write_gz("empty.gz", ""));
  EXPECT_EQ(*g.in, EOF);
}

TEST(StreamBuffer, ByteFFIsADataByteNotTheEnd) {
  std::string text = "a\xff" "b";
  Stream<> s(ftest::write_file("ff.txt", text));
  EXPECT_EQ(*s.in, 'a');
  ++s.in;
  EXPECT_EQ(*s.in, 0xFF);
  EXPECT_FALSE(s.in.at_eof());
  ++s.in;
  EXPECT_EQ(*s.in, 'b');
  ++s.in;
  EXPECT_EQ(*s.in, EOF);
}

TEST(StreamBuffer, GzipAndPlainGiveTheSameBytesAcrossRefills) {
  std::string text;
  for (int i = 0; i < 300000; ++i)
    text += std::to_string(i * 7919LL % 100003) + (i % 10 ? " " : "\n");
  Stream<> p(ftest::write_file("big.txt", text));
  Stream<SmallStreamBuffer> g(ftest::write_gz("big.gz", text));
  std::size_t i = 0;
  for (; *p.in != EOF; ++p.in, ++g.in, ++i) {
    ASSERT_EQ(*p.in, static_cast<unsigned char>(text[i])) << i;
    ASSERT_EQ(*g.in, *p.in) << i;
  }
  EXPECT_EQ(i, text.size());
  EXPECT_EQ(*g.in, EOF);
}

TEST(StreamBuffer, TokensSpanningARefillAreReadWhole) {
  // Whitespace and a number and a comment line crossing block boundaries.
  std::string text(StreamBuffer::kCapacity - 3, ' ');
  text += "123456789 c comment";
  text += std::string(SmallStreamBuffer::kSmallCapacity, 'x');
  text += "\n-42";
  Stream<> s(ftest::write_file("span.txt", text));
  EXPECT_EQ(parseLongInt(s.in), 123456789);
  skipWhitespace(s.in);
  EXPECT_EQ(*s.in, 'c');
  skipLine(s.in);
  EXPECT_EQ(parseLongInt(s.in), -42); // at the end, without a line end
  EXPECT_EQ(*s.in, EOF);
}

TEST(StreamBuffer, TruncatedGzipIsAReadErrorNotAnEndOfFile) {
  std::string text;
  for (int i = 0; i < 200000; ++i)
    text += std::to_string(i) + " 0\n";
  std::string whole = ftest::read_bytes(ftest::write_gz("t.gz", text));
  for (std::size_t cut : {whole.size() / 2, whole.size() - 4, std::size_t(12)}) {
    std::string path = ftest::write_file("cut.gz", whole.substr(0, cut));
    EXPECT_EXIT(
        {
          Stream<> s(path);
          while (*s.in != EOF)
            ++s.in;
        },
        testing::ExitedWithCode(3), "PARSE ERROR! Could not read input: ")
        << "cut at " << cut;
  }
}

TEST(StreamBuffer, CorruptGzipIsAReadError) {
  std::string text;
  for (int i = 0; i < 50000; ++i)
    text += std::to_string(i) + " 0\n";
  std::string bytes = ftest::read_bytes(ftest::write_gz("c.gz", text));
  for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i)
    bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  std::string path = ftest::write_file("corrupt.gz", bytes);
  EXPECT_EXIT(
      {
        Stream<> s(path);
        while (*s.in != EOF)
          ++s.in;
      },
      testing::ExitedWithCode(3), "PARSE ERROR! Could not read input: ");
}

TEST(Lexer, IntegersWithSignsAndAtTheEnd) {
  EXPECT_EQ(int_of("-0"), 0);
  EXPECT_EQ(int_of("+7"), 7);
  EXPECT_EQ(int_of(" \t\r\n 15 "), 15);
  EXPECT_EQ(int_of("9223372036854775807"), 9223372036854775807LL);
  EXPECT_EQ(int_of("-9223372036854775807"), -9223372036854775807LL);
  EXPECT_EQ(int_of("12x"), 12);
}

TEST(Lexer, NumbersOfEveryLengthInsideABlock) {
  // Long enough that most numbers are read straight from the block; the
  // last few go the careful way near the end of the input.
  std::vector<long long> expect;
  std::string text;
  unsigned long long x = 12345;
  for (int round = 0; round < 40; ++round)
    for (int digits = 1; digits <= 18; ++digits) {
      x = x * 6364136223846793005ULL + 1442695040888963407ULL;
      std::string d = std::to_string(x >> 1).substr(0, digits);
      const char *sign = round % 3 == 0 ? "-" : round % 3 == 1 ? "+" : "";
      const char *gap = round % 4 == 0 ? "\n" : round % 4 == 1 ? " \t " : " ";
      text += sign + d + gap;
      expect.push_back(std::stoll(sign + d));
    }
  text += "-0 00000000000000000000000000042 12x";
  expect.insert(expect.end(), {0, 42, 12});
  Stream<> s(ftest::write_file("lengths.txt", text));
  for (std::size_t i = 0; i < expect.size(); ++i)
    ASSERT_EQ(parseLongInt(s.in), expect[i]) << "number " << i;
  EXPECT_EQ(*s.in, 'x');
}

TEST(Lexer, MalformedIntegersArePaseErrors) {
  EXPECT_EXIT(int_of("- 7"), testing::ExitedWithCode(3),
              "^PARSE ERROR! Unexpected char:  \n");
  EXPECT_EXIT(int_of(""), testing::ExitedWithCode(3),
              "^PARSE ERROR! Unexpected char: \xff\n");
  EXPECT_EXIT(int_of("-"), testing::ExitedWithCode(3),
              "^PARSE ERROR! Unexpected char: \xff\n");
  EXPECT_EXIT(int_of("%"), testing::ExitedWithCode(3),
              "^PARSE ERROR! Unexpected char: %\n");
  EXPECT_EXIT(int_of("\xff"), testing::ExitedWithCode(3),
              "^PARSE ERROR! Unexpected char: \xff\n");
}

TEST(Lexer, OverlongIntegersArePaseErrors) {
  EXPECT_EXIT(int_of("9223372036854775808"), testing::ExitedWithCode(3),
              "^PARSE ERROR! Number out of range: 9223372036854775808\n");
  EXPECT_EXIT(int_of("-1234567890123456789012345 0"),
              testing::ExitedWithCode(3),
              "^PARSE ERROR! Number out of range: "
              "-1234567890123456789012345\n");
  EXPECT_EXIT(int_of(std::string(5000, '9')), testing::ExitedWithCode(3),
              "^PARSE ERROR! Number out of range: 9+\\.\\.\\.\n");
}

TEST(Lexer, LiteralsAndWeightsAreRangeChecked) {
  Stream<> s(ftest::write_file("lits.txt", "1073741823 -1073741823 -5"));
  EXPECT_EQ(parseLiteral(s.in), kMaxVariable);
  EXPECT_EQ(parseLiteral(s.in), -kMaxVariable);
  EXPECT_EXIT(parseWeight(s.in), testing::ExitedWithCode(3),
              "^PARSE ERROR! Negative weight: -5\n");
  Stream<> t(ftest::write_file("lit.txt", "-4000000000"));
  EXPECT_EXIT(parseLiteral(t.in), testing::ExitedWithCode(3),
              "^PARSE ERROR! Variable out of range: -4000000000");
}

TEST(Lexer, ReadStringStopsAtOtherBytes) {
  Stream<> s(ftest::write_file("str.txt", "p wcnf 3\nsoft: 12\n a_1.b-"));
  ++s.in;
  EXPECT_EQ(readString(s.in), "wcnf");
  EXPECT_EQ(parseLongInt(s.in), 3);
  EXPECT_EQ(readString(s.in), "soft");
  EXPECT_EQ(*s.in, ':');
  ++s.in;
  EXPECT_EQ(parseLongInt(s.in), 12);
  EXPECT_EQ(readString(s.in), "a_1.b");
  EXPECT_EQ(*s.in, '-');
  EXPECT_EQ(readString(s.in), "");
}

TEST(Lexer, Inequalities) {
  Stream<> s(ftest::write_file("ops.txt", ">= == = 1 < <= > x"));
  EXPECT_EQ(parseInequality(s.in), 1);
  EXPECT_EQ(parseInequality(s.in), 0);
  EXPECT_EQ(*s.in, ' ');
  EXPECT_EQ(parseInequality(s.in), 0);
  EXPECT_EQ(*s.in, ' '); // one character consumed
  EXPECT_EQ(parseLongInt(s.in), 1);
  EXPECT_EQ(parseInequality(s.in), -2);
  EXPECT_EQ(parseInequality(s.in), -1);
  EXPECT_EQ(parseInequality(s.in), 2);
  EXPECT_EXIT(parseInequality(s.in), testing::ExitedWithCode(3),
              "^PARSE ERROR! Unexpected char: x\n");
}

TEST(Lexer, PseudoBooleanConstraint) {
  Stream<> s(ftest::write_file("pb.txt", "+2 x1 -3 ~x1\n+1 y_2 >= -4 ;"));
  std::vector<std::string> names;
  std::vector<long long> coefs;
  int op = 99;
  long long rhs = 0;
  EXPECT_TRUE(parse_pb_constraint(s.in, names, coefs, op, rhs));
  EXPECT_EQ(names, (std::vector<std::string>{"x1", "~x1", "y_2"}));
  EXPECT_EQ(coefs, (std::vector<long long>{2, -3, 1}));
  EXPECT_EQ(op, 1);
  EXPECT_EQ(rhs, -4);
  skipWhitespace(s.in);
  EXPECT_EQ(*s.in, ';');
}

TEST(Lexer, NormalisationToAtMostWithPositiveCoefficients) {
  // 2x + 3y >= 2  ->  2(-x) + 3(-y) <= 3
  std::vector<long long> lits{1, 2}, coefs{2, 3};
  int op = 1;
  long long rhs = 2;
  normalize_constraint(lits, coefs, op, rhs);
  EXPECT_EQ(lits, (std::vector<long long>{-1, -2}));
  EXPECT_EQ(coefs, (std::vector<long long>{2, 3}));
  EXPECT_EQ(op, -1);
  EXPECT_EQ(rhs, 3);
  // -x + y = 0  ->  (-x) + y = 1
  lits = {1, 2};
  coefs = {-1, 1};
  op = 0;
  rhs = 0;
  normalize_constraint(lits, coefs, op, rhs);
  EXPECT_EQ(lits, (std::vector<long long>{-1, 2}));
  EXPECT_EQ(coefs, (std::vector<long long>{1, 1}));
  EXPECT_EQ(op, 0);
  EXPECT_EQ(rhs, 1);
  // x < 1  ->  x <= 0;  x > 0  ->  -x <= -1 + 1
  lits = {1};
  coefs = {1};
  op = -2;
  rhs = 1;
  normalize_constraint(lits, coefs, op, rhs);
  EXPECT_EQ(op, -1);
  EXPECT_EQ(rhs, 0);
  op = 2;
  rhs = 0;
  normalize_constraint(lits, coefs, op, rhs);
  EXPECT_EQ(lits, (std::vector<long long>{-1}));
  EXPECT_EQ(op, -1);
  EXPECT_EQ(rhs, 0);
}

TEST(Lexer, NormalisationOverflowIsAParseError) {
  std::vector<long long> lits{1, 2}, coefs{-(1LL << 62), -(1LL << 62)};
  int op = -1;
  long long rhs = 1LL << 62;
  EXPECT_EXIT(normalize_constraint(lits, coefs, op, rhs),
              testing::ExitedWithCode(3),
              "^PARSE ERROR! Constraint constants out of range\n");
}
