// A whole 3270 session per input, through the engine's exports, the host
// played inside the process (see SessionDriver.h for the input's steps).
#include "SessionDriver.h"

namespace {

const fuzz::TEngineTraits kTraits{
    {"@E", "@1", "@a", "@d", "@m", "@x", "@y", "@C", "@A@H", "@A@Q", "@u", "@", ""},
    {"TRM=IBM-3278-2", "TRM=", "DEV=LU01", "DEV=", "PORT=23", "DBG=0", "TBL=", "X=1"},
    nullptr};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::TSessionDriver(kTraits).Run({data, size});
    return 0;
}
