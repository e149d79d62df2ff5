#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "control/dialogs/FakeDialogs.h"
#include "support/TempDir.h"
#include "uCodeTableModel.h"
#include "uTableEntryModel.h"

// Every umask() call of this program lands here: the mask is one for the
// whole process, so a save that sets it even for a moment gives a file that
// another thread creates meanwhile the wrong permissions.
std::atomic<int> gUmaskCalls{0};
extern "C" mode_t umask(mode_t mask) noexcept {
    ++gUmaskCalls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

namespace {

std::string Bytes(const TCodeTableModel& m) {
    return std::string(m.Table().begin(), m.Table().end());
}

TCodeTableModel::TAskEntry Answer(std::optional<uint8_t> value) {
    return [value](uint8_t) { return value; };
}

int RowOf(int localCode) {
    return localCode + 1;
}

} // namespace

TEST(CodeTableModel, NewEditorShowsBuiltinTableUnderDefaultName) {
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    EXPECT_EQ(m.Cell(0, 0), "SYMBOL");
    EXPECT_EQ(m.Cell(0, 1), "ascii");
    EXPECT_EQ(m.Cell(0, 2), "ebcdic");
    EXPECT_EQ(m.Cell(RowOf(0), 2), "00");
    EXPECT_EQ(m.Cell(RowOf(0x41), 0), "   A");
    EXPECT_EQ(m.Cell(RowOf(0x41), 1), "41");
    EXPECT_EQ(m.Cell(RowOf(0x41), 2), "C1");
    EXPECT_EQ(m.Cell(RowOf(0x20), 2), "40");
    EXPECT_EQ(m.Cell(RowOf(0xFF), 1), "FF");
    EXPECT_EQ(m.FileName(), "default.tbl");
    EXPECT_FALSE(m.FromFile());
}

TEST(CodeTableModel, ShortFileFillsTheRestWithIdentity) {
    TTempDir dir;
    dir.write("ten.tbl", "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19");
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    ASSERT_TRUE(m.LoadTableFile(dir.file("ten.tbl")));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(m.HostCode(i), 0x10 + i) << i;
    for (int i = 10; i < 256; ++i)
        EXPECT_EQ(m.HostCode(i), i) << i;
    EXPECT_EQ(m.FileName(), dir.file("ten.tbl"));
    EXPECT_TRUE(m.FromFile());
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST(CodeTableModel, UnreadableFileWarnsAndFallsBackToDefault) {
    TTempDir dir;
    dir.write("ten.tbl", std::string(10, '\x05'));
    // A missing file, and a name that opens but cannot be read.
    for (const std::string& name : {dir.file("missing.tbl"), dir.path()}) {
        TFakeDialogs dialogs;
        TCodeTableModel m(dialogs);
        ASSERT_TRUE(m.LoadTableFile(dir.file("ten.tbl")));
        EXPECT_FALSE(m.LoadTableFile(name));
        ASSERT_EQ(dialogs.Messages.size(), 1u);
        EXPECT_EQ(dialogs.Messages[0],
                  "File " + name + " not found.\r\n\r\nEditing default convertion table.");
        EXPECT_EQ(m.Cell(RowOf(0x41), 2), "C1");
        EXPECT_EQ(m.FileName(), "default.tbl");
        EXPECT_FALSE(m.FromFile());
    }
}

TEST(CodeTableModel, SaveAndReloadGiveTheSame256Bytes) {
    TTempDir dir;
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    dir.write("t.tbl", std::string(300, 'x')); // an existing longer file is replaced
    // A temporary left by a writer that was killed goes at the next save.
    const pid_t dead = fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) _exit(0);
    ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
    dir.write(".t.tbl.tmp." + std::to_string(dead) + ".Ab12Cd", "half");
    ASSERT_TRUE(m.SaveTableFile(dir.file("t.tbl")));
    EXPECT_EQ(dir.read("t.tbl"), Bytes(m));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"t.tbl"}); // no temporary left
    EXPECT_TRUE(m.FromFile());
    EXPECT_EQ(m.FileName(), dir.file("t.tbl"));

    TCodeTableModel back(dialogs);
    ASSERT_TRUE(back.LoadTableFile(dir.file("t.tbl")));
    EXPECT_EQ(Bytes(back), Bytes(m));
}

TEST(CodeTableModel, SaveThroughASymbolicLinkWritesItsFileAndKeepsItsPermissions) {
    TTempDir dir;
    dir.write("real.tbl", "old");
    ASSERT_EQ(chmod(dir.file("real.tbl").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.tbl", dir.file("link.tbl").c_str()), 0);
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    ASSERT_TRUE(m.SaveTableFile(dir.file("link.tbl")));
    struct stat st;
    ASSERT_EQ(lstat(dir.file("link.tbl").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.read("real.tbl"), Bytes(m));
    ASSERT_EQ(stat(dir.file("real.tbl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"link.tbl", "real.tbl"}));
    EXPECT_EQ(m.FileName(), dir.file("link.tbl"));
}

TEST(CodeTableModel, NewFileGetsTheUsualPermissionsWithoutTouchingTheUmask) {
    TTempDir dir;
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    const auto mask = static_cast<mode_t>(syscall(SYS_umask, 027));
    gUmaskCalls = 0;
    const bool saved = m.SaveTableFile(dir.file("new.tbl"));
    syscall(SYS_umask, mask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(gUmaskCalls, 0) << "the process umask was changed while saving";
    struct stat st;
    ASSERT_EQ(stat(dir.file("new.tbl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(CodeTableModel, TableFileDialogsShowEveryFileAsTheirAllFilesPatternMeans) {
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    m.Open();
    m.SaveAs();
    ASSERT_EQ(dialogs.FileRequests.size(), 2u);
    EXPECT_EQ(NameFilter(dialogs.FileRequests[0].Filter), "Conversion Tables (*)");
    EXPECT_EQ(NameFilter(dialogs.FileRequests[1].Filter),
              "Archivos de tablas (*.tbl);;Todos los archivos (*)");
}

TEST(CodeTableModel, FailedSaveReportsAndChangesNothing) {
    TTempDir dir;
    dir.write("old.tbl", "abc");
    dir.write("plain", "not a folder"); // fails for root too
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    ASSERT_TRUE(m.LoadTableFile(dir.file("old.tbl")));
    std::string target = dir.file("plain") + "/t.tbl";
    EXPECT_FALSE(m.SaveTableFile(target));
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0], "Error written file " + target + ".");
    EXPECT_EQ(m.FileName(), dir.file("old.tbl"));
    EXPECT_TRUE(m.FromFile());
    EXPECT_EQ(dir.read("old.tbl"), "abc");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"old.tbl", "plain"}));
}

TEST(CodeTableModel, SaveBeforeAnyFileAsksForAName) {
    TTempDir dir;
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    m.Save(); // cancelled
    ASSERT_EQ(dialogs.FileRequests.size(), 1u);
    EXPECT_EQ(dialogs.FileRequests[0].DefaultExt, "TBL");
    EXPECT_FALSE(m.FromFile());

    dialogs.FileNames.push_back(dir.file("a.tbl"));
    m.Save();
    EXPECT_EQ(dir.read("a.tbl").size(), 256u);
    m.Save(); // now saves to the same file without asking
    EXPECT_EQ(dialogs.FileRequests.size(), 2u);
}

TEST(CodeTableModel, EditKeepsNonZeroHostCodesOnOneRow) {
    struct Case {
        const char* name;
        int local;
        std::optional<uint8_t> answer;
        std::vector<std::pair<int, uint8_t>> expectChanged; // local code, host code
    };
    const Case cases[] = {
        {"a taken code swaps with its row", 0x41, 0x81, {{0x41, 0x81}, {0x61, 0xC1}}},
        {"zero changes only its row", 0x41, 0x00, {{0x41, 0x00}}},
        {"cancel changes nothing", 0x41, std::nullopt, {}},
        {"the same code changes nothing", 0x41, 0xC1, {}},
    };
    for (const auto& c : cases) {
        TFakeDialogs dialogs;
        TCodeTableModel m(dialogs);
        auto before = m.Table();
        uint8_t asked = 0;
        bool changed = m.EditEntry(RowOf(c.local), [&](uint8_t old) {
            asked = old;
            return c.answer;
        });
        EXPECT_EQ(asked, 0xC1) << c.name;
        EXPECT_EQ(changed, !c.expectChanged.empty()) << c.name;
        auto expected = before;
        for (auto [local, host] : c.expectChanged)
            expected[local] = host;
        EXPECT_EQ(m.Table(), expected) << c.name;
    }
}

TEST(CodeTableModel, EditToUnusedCodeChangesOnlyThatRow) {
    TFakeDialogs dialogs;
    TCodeTableModel m(dialogs);
    // Free a code first, then move a row onto it.
    ASSERT_TRUE(m.EditEntry(RowOf(0x41), Answer(0x00)));
    auto before = m.Table();
    ASSERT_TRUE(m.EditEntry(RowOf(0x42), Answer(0xC1)));
    before[0x42] = 0xC1;
    EXPECT_EQ(m.Table(), before);
    EXPECT_FALSE(m.EditEntry(0, Answer(0x11)));
    EXPECT_FALSE(m.EditEntry(257, Answer(0x11)));
}

using TMode = TTableEntryModel::TMode;

TEST(TableEntryModel, ModeSwitchConvertsTheValue) {
    TTableEntryModel e;
    e.SetValue(0x41);
    EXPECT_EQ(e.OldText(), "41");
    EXPECT_EQ(e.NewText(), "41");
    EXPECT_EQ(e.Mode(), TMode::Hexadecimal);
    e.SetMode(TMode::Decimal);
    EXPECT_EQ(e.NewText(), "065");
    EXPECT_EQ(e.MaxLength(), 3);
    e.SetMode(TMode::Hexadecimal);
    EXPECT_EQ(e.NewText(), "41");
    EXPECT_EQ(e.MaxLength(), 2);
    e.SetNewText("ff");
    e.SetMode(TMode::Decimal);
    EXPECT_EQ(e.NewText(), "255");
}

TEST(TableEntryModel, AcceptsOnlyCodesAndRefusesTheRest) {
    struct Case {
        TMode mode;
        const char* text;
        std::optional<uint8_t> value;
    };
    const Case cases[] = {
        {TMode::Hexadecimal, "C1", 0xC1},       {TMode::Hexadecimal, "c1", 0xC1},
        {TMode::Hexadecimal, "00", 0x00},       {TMode::Hexadecimal, "1", std::nullopt},
        {TMode::Hexadecimal, "", std::nullopt}, {TMode::Hexadecimal, "G1", std::nullopt},
        {TMode::Decimal, "255", 255},           {TMode::Decimal, "7", 7},
        {TMode::Decimal, "256", std::nullopt},  {TMode::Decimal, "999", std::nullopt},
        {TMode::Decimal, "", std::nullopt},     {TMode::Decimal, "1a", std::nullopt},
    };
    for (const auto& c : cases) {
        TTableEntryModel e;
        e.SetValue(0x33);
        e.SetMode(c.mode);
        e.SetNewText(c.text);
        EXPECT_EQ(e.Accept(), c.value.has_value()) << c.text;
        // A refused text never stores 0 over the value.
        EXPECT_EQ(e.NewValue(), c.value.value_or(0x33)) << c.text;
    }
}
