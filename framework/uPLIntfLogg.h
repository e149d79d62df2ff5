// The engine's log entry points and their set-up. Each engine module has one
// message writer ("SYS") and one dump writer ("DMP") beside itself, both absent
// while the log level is 0. Any thread.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

// Every dump of the system is 16 bytes a line in blocks of 256.
inline constexpr int kDumpWidth = 16;
inline constexpr int kDumpBlock = 256;
// What a dump shows instead of a byte of text the screen does not show (a
// password, as a rule): EBCDIC '*'.
inline constexpr uint8_t kHiddenDumpByte = 0x5C;

void WriteLog(int level, const std::string& text);
void WriteDump(int level, const std::string& title, int width, const void* data, int len,
               int block);
// Replaces both writers for the given level (0 or below: no writers). Safe
// while other threads log; the old writers are freed.
void SetupLogs(int level);
// The configured level, 0 when logging is off.
int LogLevel();
// True when a message of this level would reach a writer; lets callers skip
// building texts nobody writes.
bool LogWanted(int level);

// Called when an engine module loads: binds log32, reads "LogLevel" of the
// section named baseName from the settings file in moduleFolder and sets up
// the writers for it, naming their files baseName + "_" + ddmmyy.
void InitEngineLogs(const std::string& baseName, const std::string& moduleFolder);
// The same without binding log32: the level from the settings file, and the writers.
void ConfigureEngineLogs(const std::string& baseName, const std::string& moduleFolder);
// Called when the module unloads: no writers any more.
void DoneEngineLogs();

// The settings file beside every module of the system.
inline constexpr const char* kSettingsFileName = "Corvalen.ini";

// printf-style formatting for log texts ("%.4d : TPLTelnet: ...").
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);
