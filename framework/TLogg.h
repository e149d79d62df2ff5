// Log writers: CLogg hands its lines and dumps to log32 for one file;
// CFechaLogg names its file by the day and moves to a new file when the day
// changes. Any thread; every operation runs under the one writer lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Shared by every writer of the module; re-entrant, since a writer may log
// while it switches files. Never destroyed.
std::recursive_mutex& LogWriterLock();

class CLogg {
public:
    CLogg() = default;
    virtual ~CLogg();
    CLogg(const CLogg&) = delete;
    CLogg& operator=(const CLogg&) = delete;

    virtual void SetFileName(const std::string& name);
    virtual void SetLevel(int level);
    virtual void Rewind();
    virtual void Dump(int level, const std::string& title, int width, const void* data, int len,
                      int block);
    virtual void WriteRaw(int level, const std::string& text);
    // The text with CR LF appended.
    virtual void WriteLine(int level, const std::string& text);

    int32_t Handle() const;
    std::string FileName() const;
    int Level() const;
    bool Opened() const;

protected:
    // Opens the file the first time a write, dump or rewind needs it.
    void OpenIfNeeded();

    int32_t handle_ = 0;
    std::string fileName_;
    int level_ = 0;
    bool opened_ = false;
};

struct TLogDate {
    int Day = 0, Month = 0, Year = 0; // Year in full, e.g. 2026
    bool operator==(const TLogDate&) const = default;
};
using TLogClock = std::function<TLogDate()>;
// Today by the local clock.
TLogDate LocalToday();

class CFechaLogg : public CLogg {
public:
    // Null when dir is not an existing folder: logging then stays off quietly.
    static std::unique_ptr<CFechaLogg> Create(int level, const std::string& dir,
                                              const std::string& base, const std::string& ext,
                                              TLogClock clock = LocalToday);

    void Rewind() override;
    void Dump(int level, const std::string& title, int width, const void* data, int len,
              int block) override;
    void WriteRaw(int level, const std::string& text) override;
    void WriteLine(int level, const std::string& text) override;

    // Dir, one separator, Base, "ddmmyy", ".", Ext.
    std::string DatedName(const TLogDate& date) const;

private:
    CFechaLogg(const std::string& dir, const std::string& base, const std::string& ext,
               TLogClock clock);
    // Moves to today's file when the day has changed since the last write.
    void CheckDate();

    std::string dir_, base_, ext_;
    TLogClock clock_;
    TLogDate date_;
};
