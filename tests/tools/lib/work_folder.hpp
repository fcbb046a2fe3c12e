// A fresh working folder for tests of the trace-mode and auxiliary files,
// which the program writes into its working folder: the test runs inside
// it, and when the test ends, also after a failed assertion, the previous
// working folder is restored and the folder removed with its files.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testfs {

struct WorkFolder {
  std::string path, previous;
  explicit WorkFolder(const char *prefix) {
    std::string templ = std::string("/tmp/") + prefix + "_XXXXXX";
    if (mkdtemp(templ.data()) == nullptr)
      return;
    previous = std::filesystem::current_path().string();
    if (chdir(templ.c_str()) == 0)
      path = templ;
  }
  ~WorkFolder() {
    if (path.empty())
      return;
    if (chdir(previous.c_str()) != 0)
      return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  bool ok() const { return !path.empty(); }
  WorkFolder(const WorkFolder &) = delete;
  WorkFolder &operator=(const WorkFolder &) = delete;
};

// The whole text of a file, empty when it does not exist.
inline std::string file_text(const std::string &name) {
  std::ifstream in(name);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

} // namespace testfs
