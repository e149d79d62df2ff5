// Arbitrary host bytes through the telnet parser of an unconnected session,
// in the chunks a reader would receive them: negotiation, subnegotiations
// and records must never write past a buffer or loop.
#include <cstddef>
#include <cstdint>

#include "support/NullStream.h"
#include "uPLTelnet.h"

namespace {

class TChangingStream : public TNullStream {
public:
    using TNullStream::TNullStream;
    void ProcessData() override {
        if (!Record().empty()) {
            Display()->Changed = true;
            StatusText = Record()[0] & 1 ? "X" : "";
        }
        TPLTnStream::ProcessData();
    }
};

class TFuzzSession : public TPLTelnet {
public:
    using TPLTelnet::TPLTelnet;
    void SetModel(int model) override {
        TPLTelnet::SetModel(model);
        auto stream = std::make_unique<TChangingStream>(SessionId, Rows(), Cols());
        stream->SetDisplay(std::make_unique<TPLTndisplay>(SessionId, Rows(), Cols()));
        stream->Display()->OnStatusChange = [this](TPLTndisplay&) { StatusChange(); };
        SetStream(std::move(stream));
    }
    void GenHostFields() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto session = std::make_shared<TFuzzSession>(1);
    session->SetModel(2);
    // The first byte picks the chunk size, as recv would split the stream.
    size_t chunk = size ? data[0] % 64 + 1 : 1;
    for (size_t at = 1; at < size; at += chunk)
        session->NewData(data + at, std::min(chunk, size - at));
    return 0;
}
