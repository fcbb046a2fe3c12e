// The signal-safe output stream: numbers formatted as a default std::ostream
// formats them, and everything written reaching the file descriptor.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

#include "model/general_format.hpp"
#include "model/sigsafe_out.hpp"

namespace {

std::string stream_format(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

std::string safe_format(double v) {
  char buf[32];
  return std::string(buf, format_general(v, buf));
}

TEST(SigSafeOut, DoublesLikeTheDefaultStreamFormat) {
  for (double v :
       {0.0,    -0.0,      1.0,      0.5,      0.001667, 0.000123,  0.0000123,
        1.5e-5, 12.345678, 99999.95, 999999.4, 999999.5, 1234567.0, 3600.0,
        0.1,    2.5,       1e-300,   1e300,    -42.125,  100000.0,  9.9999996})
    EXPECT_EQ(safe_format(v), stream_format(v)) << v;
  // CPU times as getrusage gives them: whole microseconds.
  const unsigned seed = 20261207;
  std::mt19937_64 rng(seed);
  for (int i = 0; i < 20000; ++i) {
    long long sec = static_cast<long long>(rng() % 5000);
    long long usec = static_cast<long long>(rng() % 1000000);
    if (i % 3 == 0)
      sec = 0;
    double v = static_cast<double>(sec) + static_cast<double>(usec) / 1000000.0;
    ASSERT_EQ(safe_format(v), stream_format(v))
        << "seed " << seed << " value " << sec << "." << usec;
  }
  // Exact ties at the seventh digit round half to even (4.890625 ->
  // 4.89062, 4.890635 is no tie in binary): every multiple of 2^-10 up to
  // 100, and 2^-20 near 1.
  EXPECT_EQ(safe_format(4.890625), "4.89062");
  for (int i = 0; i < 100 * 1024; ++i)
    ASSERT_EQ(safe_format(i / 1024.0), stream_format(i / 1024.0)) << i;
  for (int i = 0; i < 1 << 20; i += 7)
    ASSERT_EQ(safe_format(1 + std::ldexp(i, -20)),
              stream_format(1 + std::ldexp(i, -20)))
        << i;
  // Any finite double, subnormals and the extremes included.
  for (int i = 0; i < 200000; ++i) {
    std::uint64_t bits = rng();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isnan(v))
      continue;
    ASSERT_EQ(safe_format(v), stream_format(v))
        << "seed " << seed << " bits " << bits;
  }
  for (double v : {4.9e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
                   999999.5, 9999995.0, 0.00001, 0.0001, 123456.5, 1234565.0})
    EXPECT_EQ(safe_format(v), stream_format(v)) << v;
}

TEST(SigSafeOut, WritesEverythingToTheDescriptor) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  std::string expected;
  {
    SigSafeOut out(p[1]);
    out << "o " << 42LL << " LB" << '\n'
        << LLONG_MIN << ' ' << -7 << ' ' << 18446744073709551615ULL << ' '
        << 0.25 << '\n';
    expected = "o 42 LB\n-9223372036854775808 -7 18446744073709551615 0.25\n";
    // More than one buffer's worth.
    for (int i = 0; i < 2000; ++i)
      out << "line " << i << '\n';
    for (int i = 0; i < 2000; ++i)
      expected += "line " + std::to_string(i) + "\n";
  } // the destructor flushes
  close(p[1]);
  std::string got;
  char buf[4096];
  ssize_t n;
  while ((n = read(p[0], buf, sizeof buf)) > 0)
    got.append(buf, static_cast<std::size_t>(n));
  close(p[0]);
  EXPECT_EQ(got, expected);
}

} // namespace
