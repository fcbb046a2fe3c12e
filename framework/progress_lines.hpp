// The costs that progress lines show while a search runs ("o ", "c o ",
// "c Costs - Assig: ..."). A search counts costs on its soft clauses; the
// lines show them as the result line does: for an OPB input the objective's
// value, which differs from the soft cost by a constant (the negative
// coefficients and the constant term). A saturated cost stands for every
// cost from the 64-bit ceiling up, so no line shows it.
#pragma once

#include <iosfwd>

// The value shown for a soft cost: the cost itself, or for an OPB input the
// objective's value. False when no line may show it: the cost is saturated,
// or on OPB input no model is kept yet to relate the two scales.
bool shown_cost(long long cost, long long &shown);

// "<head><shown cost>" as a line of standard output; nothing when the cost
// may not be shown. True when the line was printed.
bool print_cost_line(const char *head, long long cost);
