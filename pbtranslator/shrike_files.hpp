// Files of the Shrike preprocessor: a registry of temporary files removed at
// process exit (and by their owners before), the binary BCNF writer of the
// simplified formula, and the temporary-file calls the solver's elimination
// record goes through.
//
// BCNF layout: "BCNF", the byte-order mark 0x01020304, the number of
// variables and of clauses (32-bit each), then chunks: a length L, L - 1
// data words (clause records: size, then literals 2v + s), and the word -1.
// A chunk with its terminator never exceeds 0x100000 words.
#pragma once

#include "pbtranslator/ms_global.hpp"

#include <cstdio>

namespace Shrike {

// Registry of open temporary files; entry i of one belongs to entry i of the
// other.
extern vec<FILE *> tmp_fps;
extern vec<char *> tmp_files;

// Creates prefix + "XXXXXX" through mkstemp, opens it with mode and
// registers it; name receives the registry's name string (owned by the
// registry). A failure prints "ERROR! Could not create temporary file with
// prefix: <prefix>" and exits with status 1.
FILE *createTmpFile(const char *prefix, const char *mode, char *&name);
// Closes, removes and unregisters every entry whose name equals name
// (exact) or is name followed by exactly 6 characters (not exact).
void deleteTmpFile(const char *name, bool exact);
// Closes and removes every registered file.
void deleteTmpFiles();

// Writes a whole buffer of 32-bit words; a short write prints "ERROR! Could
// not write file: <what>" and exits with status 1.
void writeWords(FILE *f, const int *words, int n, const char *what);

constexpr int bcnf_chunk_words = 0x100000; // buffer of one chunk
constexpr int bcnf_chunk_limit = 0xFFFFF;  // flush bound before a clause

class BcnfWriter {
  FILE *out;
  const char *file_name;
  int n_vars = 0;    // one more than the largest variable written
  int n_clauses = 0; // clauses written
  int chunk_len = 1; // words so far, the first reserved for the length
  int *chunk;        // bcnf_chunk_words words

  void flushChunk();

public:
  // Opens fileName ("w+b"); failure prints "ERROR! Could not open file for
  // writing: <name>" on the error stream and exits with status 2.
  explicit BcnfWriter(const char *fileName);
  ~BcnfWriter();
  BcnfWriter(const BcnfWriter &) = delete;
  BcnfWriter &operator=(const BcnfWriter &) = delete;
  // A clause longer than a chunk can hold prints "ERROR! Clause too long
  // for a BCNF chunk: <size> literals" and exits with status 2.
  void addClause(const vec<Lit> &lits);
};

} // namespace Shrike
