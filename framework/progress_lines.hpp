// The costs that progress lines show while a search runs ("o ", "c o ",
// "c Costs - Assig: ..."): what models cost as the result line prints it,
// on the input as read (for an OPB input the objective's value). A search's
// own costs may differ: they count its relaxation variables, which a model
// may set true for a clause it satisfies, and on OPB input they count the
// soft units that stand for the objective's terms, which miss its negative
// coefficients and constant. A saturated cost is no model's cost either.
#pragma once

#include <vector>

// The cost of the best model found so far (the one a run cut short would
// print). While no input is published (no model is costed on it) the
// search's own cost, unless it is saturated or the input is OPB. False when
// no line may show a cost.
bool shown_best_cost(long long own_cost, long long &shown);

// The cost of model (entry v for variable v), the same way. False when no
// line may show it: it falsifies a hard clause, or its cost leaves the
// 64-bit range.
bool shown_model_cost(const std::vector<long long> &model, long long own_cost,
                      long long &shown);

// "<head><cost of the best model>" as a line of standard output; nothing
// when no cost may be shown.
void print_best_cost_line(const char *head, long long own_cost);
