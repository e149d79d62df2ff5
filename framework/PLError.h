// Errors raised inside a module. They carry the system's own message text and
// never cross the C interface: the exported functions turn them into results.
#pragma once

#include <stdexcept>
#include <string>

// The root of every error the framework raises.
class EPLError : public std::runtime_error {
public:
    explicit EPLError(const std::string& message) : std::runtime_error(message) {}
};

// Bytes that do not read as what was expected (a stream, a record, a file).
class EReadError : public EPLError {
public:
    explicit EReadError(const std::string& message) : EPLError(message) {}
};

// The texts a stream reader reports.
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kInvalidPropertyValue = "Invalid property value";
