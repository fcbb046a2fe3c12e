// The command line: kestrane [ <option> ... ] <input>. The options are
// applied through the facade's setters in the order given, so later ones
// override earlier ones.
#pragma once

class KestraneExtended;

// Applies the run-time defaults, then the options; returns the input file
// name (the first argument that is no option), or null when there is none
// (also when the last option lacks its value). With no argument at all, or
// with -h, prints the usage text and exits with status 1. Invalid option
// values end the run inside the facade (status 3).
const char *parse_cmdline_options(KestraneExtended &facade, int argc,
                                  char **argv);

// Writes the usage text to standard output.
void prt_help();
