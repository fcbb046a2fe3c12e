#include "formats/opb_reader.hpp"

#include "model/runtime_msgs.hpp"

void parse_opb_file(StreamBuffer &, IDManager &, BasicClauseSet &) {
  Abort("Unsupported input format: opb (this build has no OPB reader)");
}
