// Debug dumps of the translator's values, literals, formulas and constraints
// in a compact form ("3*x0  -oo", "~a", "v7", "2*x1:1  1*x2:?in [2,+oo]").
// Output goes through this file's own report routine, so every line begins
// with "c "; no dump ends with a newline. Nothing in the system calls them.
#pragma once

#include "pbtranslator/fenv.hpp"
#include "pbtranslator/ms_global.hpp"
#include "pbtranslator/pb_solver.hpp"

// The translator's variable names (index -> name), set by the goal
// registration of the pseudo-Boolean solver; null when none.
extern vec<char *> *debug_names;

// The report routine of the dumps: "c " before every line, a backspace
// toggles bold output.
void debug_reportf(const char *format, ...)
    __attribute__((format(printf, 1, 2)));

// -oo / +oo for the two infinities, else decimal.
void dump(Int num);
// "~" for a negative literal, then the variable's name, "x<v>" without a name
// table, "@<v>" beyond it.
void dump(Lit p);
// "~" when negated, then "@<k>" for a compound formula, "v<k>" otherwise.
void dump(Formula f);
// Terms "coef*lit", two spaces apart.
void dump(const vec<Lit> &ps, const vec<Int> &cs);
void dump(const vec<Formula> &fs, const vec<Int> &cs);
// As above, each literal followed by ":1", ":0" or ":?" under values (a
// truth value per variable).
void dump(const vec<Lit> &ps, const vec<Int> &cs, const vec<int> &values);
// Every term followed by two spaces, then "in [lo,hi]".
void dump(const Linear &c);
// Terms with values, two spaces between terms only, then "in [lo,hi]".
void dump(const Linear &c, const vec<int> &values);
