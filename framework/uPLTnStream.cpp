#include "uPLTnStream.h"

#include <algorithm>
#include <cstring>

#include "Logging.h"
#include "PLError.h"
#include "uPLIntfLogg.h"

TPLTnStream::TPLTnStream(int sessionId, int /*rows*/, int /*cols*/)
    : SessionId(sessionId), record_(kInitialRecordSize) {
    LoadTable("");
}

TPLTnStream::~TPLTnStream() = default;

void TPLTnStream::SetDisplay(std::unique_ptr<TPLTndisplay> display) {
    if (display && display.get() == display_.get()) {
        (void)display.release(); // already ours: one owner only
        return;
    }
    display_ = std::move(display);
}

void TPLTnStream::DoSend(const uint8_t* data, size_t len, const uint8_t* logView) {
    if (OnSend) OnSend(data, len, logView);
}

void TPLTnStream::AddData(const uint8_t* data, size_t len) {
    if (len == 0) return;
    if (overlongBytes_ != 0 || len > kMaxRecordSize - recordLen_) {
        overlongBytes_ += len;
        return;
    }
    if (recordLen_ + len > record_.size())
        record_.resize(std::min(kMaxRecordSize, std::max(record_.size() * 2, recordLen_ + len)));
    std::memcpy(record_.data() + recordLen_, data, len);
    recordLen_ += len;
}

void TPLTnStream::ProcessData() {
    recordLen_ = 0;
}

void TPLTnStream::ProcessRecord() {
    struct Empty {
        size_t& len;
        size_t& overlong;
        ~Empty() { len = overlong = 0; }
    } empty{recordLen_, overlongBytes_};
    if (overlongBytes_ != 0) {
        const size_t total = recordLen_ + overlongBytes_;
        throw EPLError("record of " + std::to_string(total) + " bytes is longer than " +
                       std::to_string(kMaxRecordSize) + " bytes: dropped");
    }
    ProcessData();
}

void TPLTnStream::LoadTable(const std::string& fileName) {
    TableFile = fileName;
    if (LoadCodeTables(fileName, tables_) == TTableSource::OpenFailed) {
        std::string text = "ERROR: No se pudo cargar la tabla de conversion " + fileName;
        WriteLog(1, text);
        DebugOut(text);
    }
}
