// The binding of the outside logging library log32. When the library, or any
// one of its six functions, is missing, every call does nothing and OpenLog
// gives handle 0. Any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "log32api.h"

struct TLog32Api {
    TSetLogLevel SetLogLevel = nullptr;
    TOpenLog OpenLog = nullptr;
    TCloseLog CloseLog = nullptr;
    TRewindLog RewindLog = nullptr;
    TDumpLog DumpLog = nullptr;
    TMsgLog MsgLog = nullptr;
    bool Complete() const {
        return SetLogLevel && OpenLog && CloseLog && RewindLog && DumpLog && MsgLog;
    }
};

// Loads "log32.so" through the system's library search and, failing that,
// from the given folder (the engine module's own). Binds all six functions or
// none. Called once when an engine module loads.
void BindLog32(const std::string& moduleFolder);
// Replaces the binding, for tests; an incomplete set counts as absent.
void SetLog32Api(const TLog32Api& api);
bool Log32Bound();

// The calls the writers make; each does nothing while the library is absent.
void Log32SetLogLevel(uint16_t level);
int32_t Log32OpenLog(const std::string& fileName);
void Log32CloseLog(int32_t handle);
void Log32RewindLog(int32_t handle);
void Log32DumpLog(int32_t handle, uint16_t level, const std::string& title, uint16_t width,
                  const void* data, uint16_t len, uint16_t block);
void Log32MsgLog(int32_t handle, uint16_t level, const std::string& text);

// Serialises message writes into log32; always taken inside the writer lock.
std::mutex& Log32MessageLock();
