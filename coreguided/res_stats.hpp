// Timings and sizes of the refutation road of ZOR1_ROR, gathered in one
// process-wide record.
#pragma once

class ResStats {
public:
  // The record, created zero-filled on first use and never freed.
  static ResStats *get_instance();
  void initialize();
  // One line "c STATS n ..." with the totals; n is the number of cores and
  // t the caller's own time.
  void show_stats(long long n, double t);

  double checker_time = 0;     // seconds spent in the proof checker
  double transform_time = 0;   // seconds spent replaying proofs
  double parse_time = 0;       // seconds spent reading proofs
  long long trace_total = 0;   // KiB of traces read
  long long proof_total = 0;   // KiB of proofs read
  long long skipped_cores = 0; // cores whose files were too large
  long long empty_clauses = 0; // empty clauses derived (cores rewritten)
};
