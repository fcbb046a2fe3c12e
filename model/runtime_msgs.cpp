#include "model/runtime_msgs.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sys/resource.h>

#include "model/zor_config.hpp"

std::string RT::tname;
std::string RT::stname;

namespace {
void print_line(const char *kind, const char *msg) {
  std::cout << XRT::get_stname() << kind << msg << std::endl;
}
} // namespace

void Info(const char *msg) { print_line(" INFO: ", msg); }
void Warn(const char *msg) { print_line(" WARN: ", msg); }
void Error(const char *msg) { print_line(" ERROR: ", msg); }
void Error(const std::string &msg) { Error(msg.c_str()); }

void Abort(const char *msg) {
  Error(msg);
  std::exit(ExitStatus::Failure);
}
void Abort(const std::string &msg) { Abort(msg.c_str()); }

namespace {
void (*g_beyond_64_bits_hook)() = nullptr;
} // namespace

void set_beyond_64_bits_hook(void (*hook)()) { g_beyond_64_bits_hook = hook; }

void abort_beyond_64_bits(const char *what) {
  // Cleared before the call: a refusal inside the hook ends the run here.
  if (void (*hook)() = g_beyond_64_bits_hook) {
    g_beyond_64_bits_hook = nullptr;
    hook();
  }
  Abort(std::string(what) + " beyond the 64-bit range");
}

void tool_abort(const char *msg) {
  std::cout << "ERROR: " << msg << std::endl;
  std::cout.flush();
  std::exit(ExitStatus::ToolAbort);
}

double RUSAGE::read_cpu_time() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec) / 1000000.0;
}

void check_cpu_timeout() {
  if (RUSAGE::read_cpu_time() >=
      static_cast<double>(static_cast<unsigned long long>(ZORConfig::tool_timeout))) {
    Warn("CPU time exceeded");
    std::exit(ExitStatus::Failure);
  }
}
