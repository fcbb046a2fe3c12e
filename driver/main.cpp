// kestrane [ <option> ... ] <input>: solves one MaxSAT problem file.
#include "driver/startup.hpp"

int main(int argc, char **argv) { return kestrane_main(argc, argv); }
