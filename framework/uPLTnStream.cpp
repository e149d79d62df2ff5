#include "uPLTnStream.h"

#include <algorithm>
#include <cstring>

#include "Logging.h"
#include "uPLIntfLogg.h"

TPLTnStream::TPLTnStream(int sessionId, int /*rows*/, int /*cols*/)
    : SessionId(sessionId), record_(kRecordSize) {
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
    size_t room = kRecordSize - recordLen_;
    size_t n = std::min(len, room);
    if (n == 0) return;
    std::memcpy(record_.data() + recordLen_, data, n);
    recordLen_ += n;
}

void TPLTnStream::ProcessData() {
    recordLen_ = 0;
}

void TPLTnStream::ProcessRecord() {
    struct Empty {
        size_t& len;
        ~Empty() { len = 0; }
    } empty{recordLen_};
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
