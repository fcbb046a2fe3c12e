// Allocator of variable identifiers: the input variables are 1..top id as
// read; relaxation and encoding variables follow with new_id().
#pragma once

class IDManager {
public:
  virtual ~IDManager() = default;
  long long new_id() { return ++top_id; }
  long long top_id = 0; // largest variable identifier in use
  long long second = 1; // kept for the algorithms; unused by the model
  // The variable count that the input's header declares (0 without one):
  // the model line names 1..max(this, top id after reading), also input
  // variables that no clause uses.
  long long declared_vars = 0;
};
