#include "model/logger.hpp"

#include "model/runtime_msgs.hpp"

std::ofstream *Logger::logf = nullptr;
std::ostream *Logger::errf = nullptr;
int Logger::verbosity = 1;

void LogUtils::set_log_fname(const char *name) {
  delete Logger::logf;
  Logger::logf = new std::ofstream(name, std::ios::out | std::ios::trunc);
}

void LogUtils::log_cleanup() {
  if (Logger::logf) {
    Logger::logf->flush();
    delete Logger::logf;
    Logger::logf = nullptr;
  }
}

void LogUtils::set_tool_log_names(const std::string &tname,
                                  const std::string &stname) {
  RT::tname = tname;
  RT::stname = stname;
}
