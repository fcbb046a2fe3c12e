// The log file (written by the banner only) and the logging settings.
#pragma once

#include <fstream>
#include <ostream>
#include <string>

class Logger {
public:
  static std::ofstream *logf; // log file, null when none
  static std::ostream *errf;  // error stream, null when none
  static int verbosity;
};

class LogUtils {
public:
  // Opens (truncating) the log file; a failed open is not reported and the
  // writes are lost.
  static void set_log_fname(const char *name);
  static void set_log_verbosity(int v) { Logger::verbosity = v; }
  static void set_error_stream(std::ostream *s) { Logger::errf = s; }
  static void log_cleanup();
  static void set_tool_log_names(const std::string &tname,
                                 const std::string &stname);
};
