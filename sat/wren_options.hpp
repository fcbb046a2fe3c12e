// Typed option objects of the Wren solver. Each option registers itself, on
// construction, in one global list (in construction order); it can parse a
// command-line style text ("-name=value", "-name", "-no-name") and print a
// help line on the error stream. The solver copies the values when it is
// constructed, so the defaults fix its behaviour unless a caller parses.
#pragma once

#include <cmath>

#include "sat/wren_types.hpp"

namespace Wren {

class Option {
 protected:
  const char* name;
  const char* description;
  const char* category;
  const char* type_name;

  Option(const char* name_, const char* desc_, const char* cate_,
         const char* type_);

 public:
  virtual ~Option() {}
  // Reads text of the form "-<name>[=<value>]"; false (nothing changed)
  // when the text is not for this option or not well formed. A value out of
  // range ends the process with status 1 after an "ERROR! value <...>" line.
  virtual bool parse(const char* text) = 0;
  // Writes the help line (and the description when verbose) to stderr.
  virtual void help(bool verbose = false) = 0;

  const char* optionName() const { return name; }
  const char* optionCategory() const { return category; }
  const char* optionType() const { return type_name; }
  const char* optionDescription() const { return description; }

  // Every option constructed so far, in construction order.
  static vec<Option*>& getOptionList();
};

struct IntRange {
  int begin;  // inclusive
  int end;    // inclusive
  IntRange(int b, int e) : begin(b), end(e) {}
};

struct DoubleRange {
  double begin;
  double end;
  bool begin_inclusive;
  bool end_inclusive;
  DoubleRange(double b, bool binc, double e, bool einc)
      : begin(b), end(e), begin_inclusive(binc), end_inclusive(einc) {}
};

class IntOption : public Option {
  IntRange range;
  int value;

 public:
  IntOption(const char* cate, const char* n, const char* desc, int def,
            IntRange r = IntRange(INT_MIN, INT_MAX))
      : Option(n, desc, cate, "<int32>"), range(r), value(def) {}
  ~IntOption() override {}

  operator int() const { return value; }
  IntOption& operator=(int x) {
    value = x;
    return *this;
  }
  bool parse(const char* text) override;
  void help(bool verbose = false) override;
};

class DoubleOption : public Option {
  DoubleRange range;
  double value;

 public:
  DoubleOption(const char* cate, const char* n, const char* desc, double def,
               DoubleRange r = DoubleRange(-HUGE_VAL, false, HUGE_VAL, false))
      : Option(n, desc, cate, "<double>"), range(r), value(def) {}
  ~DoubleOption() override {}

  operator double() const { return value; }
  DoubleOption& operator=(double x) {
    value = x;
    return *this;
  }
  bool parse(const char* text) override;
  void help(bool verbose = false) override;
};

class BoolOption : public Option {
  bool value;

 public:
  BoolOption(const char* cate, const char* n, const char* desc, bool v)
      : Option(n, desc, cate, "<bool>"), value(v) {}
  ~BoolOption() override {}

  operator bool() const { return value; }
  BoolOption& operator=(bool b) {
    value = b;
    return *this;
  }
  bool parse(const char* text) override;
  void help(bool verbose = false) override;
};

// The solver's options, category "CORE", in this construction order.
extern DoubleOption opt_var_decay;
extern DoubleOption opt_clause_decay;
extern DoubleOption opt_random_var_freq;
extern DoubleOption opt_random_seed;
extern IntOption opt_ccmin_mode;
extern IntOption opt_phase_saving;
extern BoolOption opt_rnd_init_act;
extern BoolOption opt_luby_restart;
extern IntOption opt_restart_first;
extern DoubleOption opt_restart_inc;
extern DoubleOption opt_garbage_frac;

}  // namespace Wren
