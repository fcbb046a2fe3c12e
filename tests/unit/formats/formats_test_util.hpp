// Helpers of the reader tests: temporary input files (plain and gzip), a
// stream over a file, loading through read_input_file into a set that is
// released afterwards, and a snapshot of a loaded set by literal set.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>

#include <cerrno>
#include <sys/stat.h>
#include <zlib.h>

#include "formats/read_input.hpp"
#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

namespace ftest {

// The folder of this test process's files, removed with its files when the
// process ends. A death-test child that forked from the process leaves it to
// the process that made it.
class TempFolder {
public:
  TempFolder()
      : path_(testing::TempDir() + "kestrane-formats-" +
              std::to_string(getpid())),
        owner_(getpid()) {
    // mkdir itself rather than a shell: no fork from a test process that
    // may hold much memory.
    if (::mkdir(path_.c_str(), 0700) != 0 && errno != EEXIST)
      ADD_FAILURE() << "cannot create " << path_;
  }
  ~TempFolder() {
    if (getpid() != owner_)
      return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string &path() const { return path_; }

private:
  std::string path_;
  pid_t owner_;
};

inline std::string temp_path(const std::string &name) {
  static const TempFolder folder;
  return folder.path() + "/" + name;
}

inline std::string write_file(const std::string &name,
                              const std::string &bytes) {
  std::string path = temp_path(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

inline std::string write_gz(const std::string &name,
                            const std::string &bytes) {
  std::string path = temp_path(name);
  gzFile f = gzopen(path.c_str(), "wb");
  if (!bytes.empty())
    gzwrite(f, bytes.data(), static_cast<unsigned>(bytes.size()));
  gzclose(f);
  return path;
}

inline std::string read_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The whole decompressed content of a file.
inline std::string read_all(const std::string &path) {
  gzFile f = gzopen(path.c_str(), "rb");
  std::string s;
  char buf[1 << 16];
  int n;
  while ((n = gzread(f, buf, sizeof buf)) > 0)
    s.append(buf, static_cast<std::size_t>(n));
  gzclose(f);
  return s;
}

// A reader's stream over a file, with its handle.
template <class Buffer = StreamBuffer> struct Stream {
  explicit Stream(const std::string &path)
      : file(gzopen(path.c_str(), "rb")), in(file) {}
  ~Stream() { gzclose(file); }
  gzFile file;
  Buffer in;
};

// An input loaded through read_input_file; its clauses are released when
// it goes, so that tests in one process do not share clause weights.
struct Loaded {
  explicit Loaded(const std::string &path) {
    const char *name = path.c_str();
    type = read_input_file(name, imgr, set);
  }
  ~Loaded() { set.clear_direct(); }
  IDManager imgr;
  BasicClauseSet set;
  MS_Problems type;
};

struct ClauseInfo {
  long long weight;
  long long group;
  bool operator==(const ClauseInfo &o) const {
    return weight == o.weight && group == o.group;
  }
};
inline std::ostream &operator<<(std::ostream &out, const ClauseInfo &c) {
  return out << "{w=" << c.weight << " g=" << c.group << "}";
}

using Snapshot = std::map<LitVector, ClauseInfo>;

inline Snapshot snapshot(const BasicClauseSet &set) {
  Snapshot s;
  for (BasicClause *c : set)
    s[c->lits] = {c->weight, c->group};
  return s;
}

// Runs stmt in a child with standard output sent to the error stream, so
// that messages on either stream can be matched.
#define EXPECT_EXIT_MSG(stmt, status, regex)                                   \
  EXPECT_EXIT(                                                                 \
      {                                                                        \
        dup2(2, 1);                                                            \
        stmt;                                                                  \
      },                                                                       \
      testing::ExitedWithCode(status), regex)

} // namespace ftest
