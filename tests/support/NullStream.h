// A data stream with nothing of an engine's own: the base's record handling
// only, for tests and fuzz targets of the layers around it.
#pragma once

#include "uPLTnStream.h"

class TNullStream : public TPLTnStream {
public:
    using TPLTnStream::TPLTnStream;
    void EraseUnprotected(int, int) override {}
    void SendModifiedFields() override {}
    void ResetMDT() override {}
};
