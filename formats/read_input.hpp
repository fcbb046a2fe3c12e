// Reads the one input file of a run into the clause model: opens it through
// zlib (plain or gzip alike), decides its format from the file name ending
// ("wcsp", ".wbo", ".opb") or else from its "p" format line, runs the
// matching reader and returns the problem type.
#pragma once

#include <string>

#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "model/zor_config.hpp"

// Fills clset and raises imgr's top id; the set's default clause type is
// hard (16) afterwards. Ends the run on an unopenable file (" ERROR: Could
// not open file: <name>", status 3), a file without format line ("File
// without format line", status 1), an unknown format (status 3) and every
// parse error (status 3).
MS_Problems read_input_file(const char *&name, IDManager &imgr,
                            BasicClauseSet &clset);

// The format selected by the file name's last four characters, or the empty
// word.
std::string format_from_name(const char *name);

// Reads comment lines up to the "p" line and returns the word after "p";
// the empty word when the input ends first. Any other line ends the run
// with "File without format line" and status 1.
std::string read_format_word(StreamBuffer &in);
