// A stand-in for the resolution-proof checker "./tracecheck", for the tests
// only. Command line as the solver runs it:
//   tracecheck -B <proof> <trace> -o <output>
// It reads the SAT engine's extended trace and writes a proof of binary
// resolution steps (each derived clause from exactly two earlier ones,
// resolving on one variable; the last line derives the empty clause).
// TRACECHECK_STANDIN_MODE makes it misbehave: "truncate" cuts the proof's
// last line short, "fail" writes a good proof but exits with status 1,
// "silent" exits with 0 and writes no proof, "stale" leaves an existing
// proof file as it is (exit 0) and writes a good one only when none exists.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/tools/lib/trace_check.hpp"

int main(int argc, char **argv) {
  const char *mode_env = std::getenv("TRACECHECK_STANDIN_MODE");
  std::string mode = mode_env ? mode_env : "good";
  std::string proof, trace, output;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-B") && i + 1 < argc)
      proof = argv[++i];
    else if (!std::strcmp(argv[i], "-o") && i + 1 < argc)
      output = argv[++i];
    else
      trace = argv[i];
  }
  if (proof.empty() || trace.empty() || output.empty()) {
    std::fprintf(stderr, "usage: tracecheck -B <proof> <trace> -o <output>\n");
    return 2;
  }
  if (mode == "silent")
    return 0;
  if (mode == "stale" && std::ifstream(proof))
    return 0;
  std::ifstream in(trace);
  if (!in)
    return 1;
  std::stringstream ss;
  ss << in.rdbuf();
  engine_test::BinaryProof p = engine_test::binary_resolution_proof(ss.str());
  std::ofstream(output) << (p.ok ? "resolved " + std::to_string(p.steps) +
                                       " steps\n"
                                 : "failed: " + p.error + "\n");
  if (!p.ok)
    return 1;
  if (mode == "truncate")
    p.text.pop_back();
  std::ofstream(proof) << p.text;
  return mode == "fail" ? 1 : 0;
}
