// Run statistics, written by the facade when solving starts.
#pragma once

class ZORStats {
public:
  static long long _num_init_vars; // top id when solving starts
  static long long _num_init_cls;  // input clauses when solving starts
  static void *_model;             // unused
};
