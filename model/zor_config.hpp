// Run-time settings of the whole process as class-static members, written
// by the facade from the command line and read everywhere, with one
// enumeration per family of setting codes.
#pragma once

#include <map>
#include <string>

// Problem type that the input reader returns.
enum class MS_Problems : int {
  Plain = 0xFD01,
  Partial = 0xFD02,
  Weighted = 0xFD04,
  SoftCnf = 0xFD08,
};

// Cardinality encodings (at-most, at-least, exactly k of n literals).
enum class Card_CNF_Encodings : int {
  Pairwise = 0xFC01,   // at most one only
  NoEncoderA = 0xFC02, // a code that no encoder implements
  BDD = 0xFC04,
  NoEncoderI = 0xFC08, // a code that no encoder implements
  SeqCounter = 0xFC11,
  SortNetworks = 0xFC40,
  CardNetworks = 0xFC41,
  Bitwise = 0xFC80, // at most one only
  Ladder = 0xFC81,  // at most one only
};

// Pseudo-Boolean encodings of weighted sums.
enum class PB_CNF_Encodings : int {
  BDD = 1,
  SortNetworks = 2,
  Warners = 3,
  WarnersEquiv = 4,
  WarnersImpl = 5,
  SeqWeightedCounters = 6,
};

// Algorithm codes; each names one solver class that the factory builds.
enum class ZOR_Algorithms : int {
  ZOR1 = 0xFD10,
  ZOR1_ROR = 0xFD11,
  ZOR2 = 0xFD20,
  ZOR3 = 0xFD40,
  ZOR31 = 0xFD41,
  ZOR30 = 0xFD42,
  BinarySearchCoreDisjoint2Strat = 0xFD45,
  ZOR4 = 0xFD80,
  BinaryLinearSatUnsatSearch = 0xFD84,
  BinarySearch = 0xFD85,
  BinarySearchCore = 0xFD86,
  BinarySearchCoreDisjoint = 0xFD87,
  BinarySearchCoreDisjoint2 = 0xFD88,
  LinearSatUnsat = 0xFD89,
  LinearUnsatSat = 0xFD90,
  PM2 = 0xFD91,
  PM2p1 = 0xFD92,
  WPM2 = 0xFD93,
  BitBasedSearch = 0xFD94,
  GroupBinarySearchCore = 0xFD95,
  BCNoUnitRV = 0xFD96,
  BCDNoUnitRV = 0xFD97,
  ModelGuidedSearch = 0xFD98,
  BinaryModelGuided = 0xFD99,
  ModelGuidedBCD2 = 0xFD9A,
};

// Releases: presets of an algorithm and a cardinality encoding.
enum class ZOR_Releases : int {
  R1_0 = 0xFC11,
  R1_1 = 0xFC12,
  R1_2 = 0xFC14,
  R2 = 0xFC28,
  R3_0 = 0xFC40,
  R31 = 0xFC41,
  R30 = 0xFC42,
  R4_0 = 0xFC80,
  Bin = 0xFC85,
  BinCore = 0xFC86,
  BinCoreDis = 0xFC87,
  BCD2 = 0xFC88,
  LinUnsatSat = 0xFC89,
  LinSatUnsat = 0xFC90,
};

enum class ZOR_Modes : int { Iterative = 0xFA10, Default = 0xFA12 };
enum class Iter_modes : int { Default = 0xFB00, BinarySearch = 0xFB14 };
enum class MiddleType : int { Value = 0xFE10, Order = 0xFE20, Biased = 0xFE30 };
enum class SearchType : int { All = 0xFF10, PB = 0xFF20 };
enum class RelaxGroups : int { Core = 0xFF10, All = 0xFF20 };
enum class WboEncoding : int { Groups = 0xFF10, SAT10 = 0xFF20 };
// Lower- and upper-bound modes, chosen by the texts "0", "1" and others.
enum class BoundMode : int { Mode0 = 0xFC11, Mode1 = 0xFC12, Other = 0xFC13 };

class ZORConfig {
public:
  static WboEncoding wbo_encoding;
  static RelaxGroups relax_groups;
  static SearchType nrsrch_type;
  static MiddleType middle_type;
  static bool is_global_cnstr_lt;
  static const char *upper_bound_file;
  static BoundMode upper_bound;
  static BoundMode lower_bound;
  static long long tool_timeout; // seconds
  static MS_Problems zortype;
  static ZOR_Releases zorrel;
  static ZOR_Algorithms zoralg;
  static Iter_modes itermode;
  static ZOR_Modes zormode;
  static PB_CNF_Encodings zorpbenc;
  static Card_CNF_Encodings zorenc;
  static int relate_relax_vars_thres;
  static const char *output_prefix;
  // Objective of an OPB input: variable to coefficient.
  static std::map<long long, long long> pbo_minimization_function;
  // The objective's value minus the cost of its soft units, the same for
  // every assignment that satisfies the hard clauses: the negative
  // coefficients and the constant.
  static long long pbo_cost_offset;
  static bool hardening_rule;
  static bool expert_mode;
  static bool extended_mode;
  static int alset_type;
  static bool optional_constraints;
  static int add_global_cnstr;
  static bool trace_mode;
  static bool filter_aux_vars;
  static bool infer_lower_bound;
  static bool cuts_from_cores;
  static bool optlock;
  static bool use_init_data;
  static bool check_solution;
  static bool lst_unsat_cls;
  static bool lst_model;
  static long long num_cubes;
  static bool enum_rv;
  static bool enum_models;
  static bool write_bmo_models;
  static bool bmo_mode;
  static bool incr_mode;
  static bool use_added_relax_cls;
  static bool relate_relax_vars;
  static bool comp_format;
  static int ver_parameter;
  static std::string file;
  static bool logging;
  static int verbosity;

  // Applies a release preset: the release's algorithm and cardinality
  // encoding (unknown releases keep both), relating relaxation variables on.
  static void set_release(ZOR_Releases r);
};

