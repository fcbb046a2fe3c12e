// Temporary-file registry, elimination record, BCNF and DIMACS output of the
// Shrike preprocessor, and its report routine.
#include "pbtranslator/shrike_files.hpp"
#include "pbtranslator/shrike.hpp"

#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace Shrike {

// Defined in this order so that the finalizer is destroyed first at exit and
// still finds both vectors alive.
vec<FILE *> tmp_fps;
vec<char *> tmp_files;

namespace {
struct Finalizer_TmpFiles {
  ~Finalizer_TmpFiles() { deleteTmpFiles(); }
};
Finalizer_TmpFiles Finalizer_TmpFiles_instance;

bool report_line_start = true; // next character begins a line
bool report_bold = false;

double cpuTime() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return (double)ru.ru_utime.tv_sec + (double)ru.ru_utime.tv_usec / 1000000;
}

void removeEntry(int i) {
  std::fclose(tmp_fps[i]);
  std::remove(tmp_files[i]);
  xfree(tmp_files[i]);
  tmp_fps[i] = tmp_fps.last();
  tmp_files[i] = tmp_files.last();
  tmp_fps.pop();
  tmp_files.pop();
}

[[noreturn]] void failOutput(const char *message, const char *name,
                             int status) {
  std::fprintf(stderr, message, name);
  std::fflush(stderr);
  std::exit(status);
}
} // namespace

void reportf(const char *format, ...) {
  va_list args;
  va_start(args, format);
  char *text = vnsprintf(format, args);
  va_end(args);
  for (const char *p = text; *p != '\0'; p++) {
    if (report_line_start)
      std::fputs("c ", stdout);
    if (*p == '\b') {
      report_bold = !report_bold;
      std::fputs(report_bold ? "\033[1m" : "\033[0m", stdout);
      report_line_start = false;
    } else {
      std::fputc(*p, stdout);
      report_line_start = *p == '\n' || *p == '\r';
    }
  }
  std::fflush(stdout);
  xfree(text);
}

FILE *createTmpFile(const char *prefix, const char *mode, char *&name) {
  char *templ = nsprintf("%sXXXXXX", prefix);
  int fd = mkstemp(templ);
  FILE *f = fd < 0 ? nullptr : fdopen(fd, mode);
  if (f == nullptr) {
    if (fd >= 0) {
      close(fd);
      std::remove(templ);
    }
    xfree(templ);
    failOutput("ERROR! Could not create temporary file with prefix: %s\n",
               prefix, 1);
  }
  tmp_fps.push(f);
  tmp_files.push(templ);
  name = templ;
  return f;
}

void deleteTmpFile(const char *name, bool exact) {
  size_t len = std::strlen(name);
  for (int i = 0; i < tmp_files.size();) {
    const char *entry = tmp_files[i];
    bool match = exact ? std::strcmp(entry, name) == 0
                       : std::strlen(entry) == len + 6 &&
                             std::strncmp(entry, name, len) == 0;
    if (match)
      removeEntry(i); // the last entry moved here: test position i again
    else
      i++;
  }
}

void deleteTmpFiles() {
  for (int i = 0; i < tmp_fps.size(); i++) {
    std::fclose(tmp_fps[i]);
    std::remove(tmp_files[i]);
    xfree(tmp_files[i]);
  }
  tmp_fps.clear();
  tmp_files.clear();
}

void writeWords(FILE *f, const int *words, int n, const char *what) {
  if (n > 0 && std::fwrite(words, sizeof(int), (size_t)n, f) != (size_t)n)
    failOutput("ERROR! Could not write file: %s\n", what, 1);
}

//=============================================================================
// Elimination record.

void Solver::createTmpFiles(const char *recordName) {
  if (recordName == nullptr) {
    elimFile = createTmpFile("/tmp/tmp_elims__", "w+b", elimFileName);
    return;
  }
  elimFile = std::fopen(recordName, "w+b");
  if (elimFile == nullptr)
    failOutput("ERROR! Could not open elimination record: %s\n", recordName, 1);
}

void Solver::writeRecord(Clause c) {
  ioBuffer.clear();
  ioBuffer.push(c.size());
  for (int i = 0; i < c.size(); i++)
    ioBuffer.push(toInt(c[i]));
  writeWords(elimFile, ioBuffer.begin(), ioBuffer.size(),
             elimFileName != nullptr ? elimFileName : "elimination record");
}

void Solver::flushRecord() {
  if (std::fflush(elimFile) != 0)
    failOutput("ERROR! Could not write file: %s\n",
               elimFileName != nullptr ? elimFileName : "elimination record",
               1);
}

//=============================================================================
// BCNF.

BcnfWriter::BcnfWriter(const char *fileName) : file_name(fileName) {
  out = std::fopen(fileName, "w+b");
  if (out == nullptr)
    failOutput("ERROR! Could not open file for writing: %s\n", fileName, 2);
  char zeros[16] = {};
  if (std::fwrite(zeros, 1, 16, out) != 16)
    failOutput("ERROR! Could not write file: %s\n", fileName, 2);
  chunk = static_cast<int *>(std::malloc(sizeof(int) * bcnf_chunk_words));
  if (chunk == nullptr)
    pbt_out_of_memory();
}

void BcnfWriter::flushChunk() {
  chunk[0] = chunk_len;
  chunk[chunk_len] = -1;
  if (std::fwrite(chunk, sizeof(int), (size_t)chunk_len + 1, out) !=
      (size_t)chunk_len + 1)
    failOutput("ERROR! Could not write file: %s\n", file_name, 2);
  chunk_len = 1;
}

void BcnfWriter::addClause(const vec<Lit> &lits) {
  // A clause record with the length word and terminator must fit one chunk.
  if (lits.size() + 4 > bcnf_chunk_limit) {
    std::fprintf(stderr,
                 "ERROR! Clause too long for a BCNF chunk: %d literals\n",
                 lits.size());
    std::exit(2);
  }
  n_clauses++;
  if (chunk_len + lits.size() + 3 > bcnf_chunk_limit)
    flushChunk();
  chunk[chunk_len++] = lits.size();
  for (Lit p : lits) {
    chunk[chunk_len++] = toInt(p);
    if (var(p) + 1 > n_vars)
      n_vars = var(p) + 1;
  }
}

BcnfWriter::~BcnfWriter() {
  flushChunk();
  xfree(chunk);
  int header[4];
  std::memcpy(header, "BCNF", 4);
  header[1] = 0x01020304;
  header[2] = n_vars;
  header[3] = n_clauses;
  if (std::fflush(out) != 0 || std::fseek(out, 0, SEEK_SET) != 0 ||
      std::fwrite(header, sizeof(int), 4, out) != 4 || std::fclose(out) != 0)
    failOutput("ERROR! Could not write file: %s\n", file_name, 2);
}

//=============================================================================
// Write-and-stop mode: the simplified formula, in DIMACS or BCNF, and the
// variable map.

void Solver::writeSimplified() {
  vec<int> map(nVars(), -1);
  int n_mapped = 0;
  for (int v = 0; v < nVars(); v++)
    if (!eliminated[v] &&
        (occur[2 * v].size() > 0 || occur[2 * v + 1].size() > 0))
      map[v] = n_mapped++;

  if (verbosity >= 1) {
    reportf("==============================================================="
            "===============\n");
    reportf("Result  :   #vars: %d   #clauses: %d   #literals: %d\n", n_mapped,
            nClauses(), nLiterals);
    reportf("CPU time:   %g s\n", cpuTime());
    reportf("==============================================================="
            "===============\n");
  }

  const char *name =
      output_file != nullptr ? output_file : "pre-eliminated.cnf";
  size_t len = std::strlen(name);
  if (len >= 5 && std::strcmp(name + len - 5, ".bcnf") == 0) {
    BcnfWriter w(name);
    vec<Lit> lits;
    for (Clause c : clauses) {
      if (c.null())
        continue;
      lits.clear();
      for (int i = 0; i < c.size(); i++)
        lits.push(Lit(map[var(c[i])], sign(c[i])));
      w.addClause(lits);
    }
  } else {
    FILE *out = std::strcmp(name, "-") == 0 ? stdout : std::fopen(name, "wb");
    if (out == nullptr)
      failOutput("ERROR! Could not open output file: %s\n", name, 1);
    std::fprintf(out, "p cnf %d %d\n", n_mapped, nClauses());
    std::fprintf(out, "c\n");
    std::fprintf(out, "c   #vars: %d   #clauses: %d   #literals: %d\n",
                 n_mapped, nClauses(), nLiterals);
    std::fprintf(out, "c\n");
    for (Clause c : clauses) {
      if (c.null())
        continue;
      for (int i = 0; i < c.size(); i++)
        std::fprintf(out, "%s%d ", sign(c[i]) ? "-" : "", map[var(c[i])] + 1);
      std::fprintf(out, "0\n");
    }
    if (std::ferror(out) || std::fclose(out) != 0)
      failOutput("ERROR! Could not write output file: %s\n", name, 1);
  }

  if (varmap_file != nullptr) {
    FILE *out = std::fopen(varmap_file, "wb");
    if (out == nullptr)
      failOutput("ERROR! Could not open output file: %s\n", varmap_file, 1);
    std::fprintf(out, "%d 0\n", nVars());
    const char *sep = "";
    for (int v = 0; v < nVars(); v++)
      if (!eliminated[v] && value(v) != l_Undef) {
        std::fprintf(out, "%s%s%d", sep, value(v) == l_False ? "-" : "", v + 1);
        sep = " ";
      }
    std::fprintf(out, " 0\n");
    sep = "";
    for (int v = 0; v < nVars(); v++)
      if (map[v] >= 0) {
        std::fprintf(out, "%s%d", sep, v + 1);
        sep = " ";
      }
    std::fprintf(out, " 0\n");
    if (std::ferror(out) || std::fclose(out) != 0)
      failOutput("ERROR! Could not write output file: %s\n", varmap_file, 1);
  }

  flushRecord();
  std::exit(0);
}

} // namespace Shrike
