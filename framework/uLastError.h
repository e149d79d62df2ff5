// The per-thread last error text of an engine library: each thread sees only
// the texts set on it. Any thread.
#pragma once

#include <string>

void SetLastErrorText(const std::string& text);
const std::string& LastErrorText();
