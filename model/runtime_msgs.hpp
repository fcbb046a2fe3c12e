// Messages of every part of the system: Info, Warn and Error print a line
// after the short tool name and go on; Abort prints an error and exits with
// status 3; tool_abort reports a setting the build does not provide and
// exits with status 5.
#pragma once

#include <string>

class RT {
public:
  static std::string tname;  // tool name
  static std::string stname; // short tool name
};

class XRT {
public:
  static std::string get_tname() { return RT::tname; }
  static void set_tname(const std::string &n) { RT::tname = n; }
  static std::string get_stname() { return RT::stname; }
  static void set_stname(const std::string &n) { RT::stname = n; }
};

void Info(const char *msg);
void Warn(const char *msg);
void Error(const char *msg);
void Error(const std::string &msg);
[[noreturn]] void Abort(const char *msg);
[[noreturn]] void Abort(const std::string &msg);
[[noreturn]] void tool_abort(const char *msg);
// Ends the run like Abort (status 3) with "<what> beyond the 64-bit range":
// a cost, a bound or a sum that decides the answer does not fit, and no
// capped value may be printed in its place.
[[noreturn]] void abort_beyond_64_bits(const char *what);
// A step that abort_beyond_64_bits runs first, once; it may end the run
// with another answer (the driver's: "s UNSATISFIABLE" when the input's
// hard clauses cannot all hold, since no cost matters then). Null: none.
void set_beyond_64_bits_hook(void (*hook)());

// Process exit statuses.
namespace ExitStatus {
constexpr int Normal = 0;
constexpr int Stopped = 1; // help, time-out, caught signal, no format line
constexpr int UnknownSignal = 2;
constexpr int Failure = 3; // Abort, parse errors, CPU time exceeded
constexpr int ToolAbort = 5;
} // namespace ExitStatus

// The process's user CPU time in seconds (system time not counted).
namespace RUSAGE {
double read_cpu_time();
}

// Ends the run with " WARN: CPU time exceeded" and status 3 once the user
// CPU time reaches the configured time-out. Called after every SAT call.
void check_cpu_timeout();
