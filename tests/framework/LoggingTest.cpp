// Engine logging: the writers, their dated files and the set-up from the
// settings file beside the module.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "Log32Fake.h"
#include "TLogg.h"
#include "support/TempDir.h"
#include "uPLIntfLogg.h"

using ::testing::ElementsAre;

namespace {

struct TFakeClock {
    TLogDate today{8, 12, 2026};
    TLogClock clock() {
        return [this] { return today; };
    }
};

TEST(Writer, OpensOnFirstUseAndWritesLinesWithCrLf) {
    log32fake::TInstalled fake;
    CLogg log;
    log.SetLevel(5);
    log.SetFileName("/logs/a.SYS");
    EXPECT_FALSE(log.Opened());
    log.WriteLine(2, "hello");
    log.WriteRaw(3, "raw");
    EXPECT_THAT(log32fake::Calls(),
                ElementsAre("SetLogLevel 5", "SetLogLevel 5", "OpenLog /logs/a.SYS",
                            "SetLogLevel 5", "MsgLog 1 2 hello\r\n", "SetLogLevel 5",
                            "MsgLog 1 3 raw"));
}

TEST(Writer, LevelChangeWritesItsThreeLinesOnlyOnceOpened) {
    log32fake::TInstalled fake;
    CLogg log;
    log.SetFileName("f");
    log.SetLevel(3);
    EXPECT_THAT(log32fake::Calls(), ElementsAre("SetLogLevel 3"));
    log.Rewind();
    log32fake::Calls().clear();
    log.SetLevel(9);
    EXPECT_THAT(log32fake::Calls(),
                ElementsAre("SetLogLevel 9", "SetLogLevel 9",
                            "MsgLog 1 1 Cambio de Nivel de Level\r\n", "SetLogLevel 9",
                            "MsgLog 1 1 Level anterior: 3\r\n", "SetLogLevel 9",
                            "MsgLog 1 1 Level nuevo   : 9\r\n"));
}

TEST(Writer, NewFileNameReopensAnOpenedWriter) {
    log32fake::TInstalled fake;
    CLogg log;
    log.SetFileName("one");
    log.WriteLine(1, "x");
    log32fake::Calls().clear();
    log.SetFileName("two");
    EXPECT_THAT(log32fake::Calls(), ElementsAre("SetLogLevel 0", "CloseLog 1", "OpenLog two"));
    EXPECT_EQ(log.Handle(), 2);
}

TEST(Writer, DumpPassesItsConstantsThrough) {
    log32fake::TInstalled fake;
    CLogg log;
    log.SetFileName("d");
    const uint8_t bytes[3] = {1, 2, 3};
    log.Dump(6, "DATA STREAM RECIBIDO DESDE HOST (EBCDIC): 3 BYTES", 16, bytes, 3, 256);
    EXPECT_EQ(log32fake::Calls().back(),
              "DumpLog 1 6 DATA STREAM RECIBIDO DESDE HOST (EBCDIC): 3 BYTES 16 3 256");
}

TEST(DatedWriter, NamesItsFileByTheDayWithOneSeparator) {
    TTempDir dir;
    TFakeClock clock;
    for (std::string folder : {dir.path(), dir.path() + "/"}) {
        auto log = CFechaLogg::Create(1, folder, "Tn5250_", "SYS", clock.clock());
        ASSERT_TRUE(log);
        EXPECT_EQ(log->FileName(), dir.path() + "/Tn5250_081226.SYS");
    }
}

TEST(DatedWriter, MissingFolderMeansNoWriter) {
    TTempDir dir;
    EXPECT_EQ(CFechaLogg::Create(1, dir.file("nope"), "Tn5250_", "SYS"), nullptr);
    EXPECT_EQ(CFechaLogg::Create(1, "", "Tn5250_", "SYS"), nullptr);
}

TEST(DatedWriter, MovesToTheNextDaysFileAtMidnight) {
    log32fake::TInstalled fake;
    TTempDir dir;
    TFakeClock clock;
    auto log = CFechaLogg::Create(4, dir.path(), "Tn3270_", "DMP", clock.clock());
    log->WriteLine(1, "23:59:59");
    clock.today = {9, 12, 2026};
    log->WriteLine(1, "00:00:00");
    log->WriteLine(1, "00:00:01");
    EXPECT_THAT(log32fake::Calls(),
                ElementsAre("SetLogLevel 4", "OpenLog " + dir.path() + "/Tn3270_081226.DMP",
                            "SetLogLevel 4", "MsgLog 1 1 23:59:59\r\n", "SetLogLevel 4",
                            "CloseLog 1", "OpenLog " + dir.path() + "/Tn3270_091226.DMP",
                            "SetLogLevel 4", "MsgLog 2 1 00:00:00\r\n", "SetLogLevel 4",
                            "MsgLog 2 1 00:00:01\r\n"));
}

class EngineLogs : public ::testing::Test {
protected:
    TTempDir dir;
    void TearDown() override { DoneEngineLogs(); }
    void Settings(const std::string& text) { dir.write(kSettingsFileName, text); }
};

TEST_F(EngineLogs, LevelZeroCreatesNoFileAndNeverCallsTheLibrary) {
    log32fake::TInstalled fake;
    Settings("[Tn5250]\nLogLevel=0\n");
    ConfigureEngineLogs("Tn5250", dir.path() + "/");
    WriteLog(1, "0001 : nothing");
    const uint8_t b = 0;
    WriteDump(1, "t", kDumpWidth, &b, 1, kDumpBlock);
    EXPECT_TRUE(log32fake::Calls().empty());
    EXPECT_EQ(LogLevel(), 0);
    EXPECT_FALSE(LogWanted(1));
}

TEST_F(EngineLogs, MissingSettingsFileSectionOrKeyMeansOff) {
    log32fake::TInstalled fake;
    for (std::string text : {"", "[Other]\nLogLevel=5\n", "[Tn5250]\nLevel=5\n"}) {
        if (text.empty())
            std::filesystem::remove(dir.file(kSettingsFileName));
        else
            Settings(text);
        ConfigureEngineLogs("Tn5250", dir.path());
        EXPECT_EQ(LogLevel(), 0) << text;
    }
    WriteLog(1, "x");
    EXPECT_TRUE(log32fake::Calls().empty());
}

TEST_F(EngineLogs, LevelFromTheSettingsFileNamesTheFilesAfterTheEngine) {
    log32fake::TInstalled fake;
    Settings("[TN5250]\nloglevel = 6\n");
    ConfigureEngineLogs("Tn5250", dir.path());
    EXPECT_EQ(LogLevel(), 6);
    EXPECT_TRUE(LogWanted(6));
    EXPECT_FALSE(LogWanted(7));
    WriteLog(2, "0001 : TPLTelnet: Conectando");
    const uint8_t b[2] = {0xF1, 0xC1};
    WriteDump(6, "DATA STREAM ENVIADO A HOST (EBCDIC): 2 BYTES", kDumpWidth, b, 2, kDumpBlock);
    const std::string date = [] {
        TLogDate d = LocalToday();
        char s[8];
        std::snprintf(s, sizeof s, "%02d%02d%02d", d.Day, d.Month, d.Year % 100);
        return std::string(s);
    }();
    auto& calls = log32fake::Calls();
    EXPECT_NE(
        std::find(calls.begin(), calls.end(), "OpenLog " + dir.path() + "/Tn5250_" + date + ".SYS"),
        calls.end());
    EXPECT_NE(
        std::find(calls.begin(), calls.end(), "OpenLog " + dir.path() + "/Tn5250_" + date + ".DMP"),
        calls.end());
    SetupLogs(0);
    calls.clear();
    WriteLog(1, "gone");
    EXPECT_TRUE(calls.empty()) << "DBG=0 switches logging off";
}

TEST_F(EngineLogs, RealLibraryWritesDailyMessageAndDumpFiles) {
    std::filesystem::create_symlink(CORVALEN_BIN_DIR "/log32.so", dir.file("log32.so"));
    Settings("[Tn3270]\nLogLevel=9\n");
    InitEngineLogs("Tn3270", dir.path() + "/");
    ASSERT_TRUE(Log32Bound());
    WriteLog(2, "0007 : TPLTelnet: Conectando con host 127.0.0.1 port: 23 service: ");
    const uint8_t b[3] = {0xC1, 0xC2, 0xC3};
    WriteDump(6, "DATA STREAM RECIBIDO DESDE HOST (EBCDIC): 3 BYTES", kDumpWidth, b, 3, kDumpBlock);
    DoneEngineLogs();
    SetLog32Api({});
    std::string sys, dmp;
    for (auto& name : dir.names()) {
        if (name.starts_with("Tn3270_") && name.ends_with(".SYS")) sys = dir.read(name);
        if (name.starts_with("Tn3270_") && name.ends_with(".DMP")) dmp = dir.read(name);
    }
    EXPECT_NE(sys.find("0007 : TPLTelnet: Conectando con host 127.0.0.1"), std::string::npos)
        << sys;
    EXPECT_NE(dmp.find("DATA STREAM RECIBIDO DESDE HOST (EBCDIC): 3 BYTES"), std::string::npos)
        << dmp;
    EXPECT_NE(dmp.find("C1 C2 C3"), std::string::npos) << dmp;
}

TEST(LogFormat, FormatsShortAndLongTexts) {
    EXPECT_EQ(Format("%.4d : TPLTelnet: desconectando de host %s", 7, "h"),
              "0007 : TPLTelnet: desconectando de host h");
    std::string long_(2000, 'x');
    EXPECT_EQ(Format("%s!", long_.c_str()), long_ + "!");
}

} // namespace
