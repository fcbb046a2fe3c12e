#include "encodings/warnersoptenc.hpp"

bool WarnersOptEnc::use_equiv = true;
