// The parameter items of a connection string: "KEY=value" items separated
// by ";", matched by their key without regard to case.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Blanks and control characters off both ends.
std::string TrimBlanks(const std::string& text);

// The items whose key (with its "=", e.g. "TBL=") is one of keys, in the
// order they stand, as (key as listed, value). A value is the text after
// the key, trimmed, then cut before its first ";"; for the keys in rawKeys
// it is not trimmed. An item that begins with a blank matches no key.
std::vector<std::pair<std::string, std::string>>
ParseParamItems(const std::string& params, const std::vector<std::string>& keys,
                const std::vector<std::string>& rawKeys = {});

bool EqualsIgnoreCase(const std::string& a, const std::string& b);
