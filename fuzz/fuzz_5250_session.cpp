// A whole 5250 session per input, through the engine's exports, the host
// played inside the process (see SessionDriver.h for the input's steps).
#include "SessionDriver.h"

namespace {

const fuzz::TEngineTraits kTraits{
    {"@E", "@1", "@a", "@u", "@v", "@h", "@r", "@A@H", "@A@Q", "@A@R", "@z", "@", ""},
    {"WIN=1", "WIN=0", "MSG=0", "MSG=1", "TRM=IBM-3477-FC", "TRM=", "PORT=23", "DBG=0", "TBL="},
    &SendSystemRequest};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::TSessionDriver(kTraits).Run({data, size});
    return 0;
}
