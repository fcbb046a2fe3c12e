#include "formats/wbo_reader.hpp"

#include "model/runtime_msgs.hpp"

void parse_wbo_file(StreamBuffer &, IDManager &, BasicClauseSet &,
                    Card_CNF_Encodings, PB_CNF_Encodings, Wbo_group_encoding) {
  Abort("Unsupported input format: wbo (this build has no WBO reader)");
}
