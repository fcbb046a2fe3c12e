// The process-wide counter of clause identifiers, created with the first
// clause (or by the plain-CNF reader, which raises it) and never freed.
#pragma once

class ClauseIdManager {
public:
  static ClauseIdManager *instance; // null until first needed
  static ClauseIdManager &get() {
    if (!instance)
      instance = new ClauseIdManager();
    return *instance;
  }
  long long new_id() { return next_id++; }
  long long next_id = 1;
};
