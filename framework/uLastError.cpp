#include "uLastError.h"

namespace {
thread_local std::string tLastError;
} // namespace

void SetLastErrorText(const std::string& text) {
    tLastError = text;
}

const std::string& LastErrorText() {
    return tLastError;
}
