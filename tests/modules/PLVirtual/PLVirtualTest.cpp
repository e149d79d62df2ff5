// The "Virtual" module through its exports, loaded as the control's binding
// loads it: a template's screen, attention keys, failures and handles.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/EngineCallbacks.h"
#include "support/EngineModule.h"
#include "support/TempDir.h"
#include "uPlBasFld.h"

namespace {

TEngineModule& Virtual() {
    static TEngineModule module(CORVALEN_BIN_DIR "/PLVirtual.so");
    return module;
}

std::vector<uint8_t> ScreenBytes(int32_t handle, int32_t bufSize = 8192) {
    std::vector<uint8_t> buffer(static_cast<size_t>(bufSize));
    const int32_t n = Virtual().GetScreen(handle, buffer.data(), bufSize);
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
}

std::vector<uint8_t> Events(TEventLog& log) {
    std::vector<uint8_t> out;
    for (auto& e : log.Entries())
        out.push_back(e.event);
    return out;
}

// One session on a template file, closed at the end of the test.
struct TSession {
    TEventLog events;
    int32_t handle = -1;
    explicit TSession(const std::string& path) {
        handle = Virtual().Connect(path.c_str(), events.UserData(), &TEventLog::Callback);
    }
    ~TSession() {
        if (handle > 0) Virtual().Disconnect(handle);
    }
};

TEST(PLVirtual, ServesTheTemplateAsProtectedRows) {
    TTempDir dir;
    dir.write("menu.txt", "  MAIN MENU\r\n\r\nSelecci\xF3n \xE9t\xE9\r\n");
    TSession s(dir.file("menu.txt"));
    ASSERT_GT(s.handle, 0) << Virtual().LastErrMsg();
    EXPECT_STREQ(Virtual().LastErrMsg(), "");
    EXPECT_EQ(Events(s.events), (std::vector<uint8_t>{PL_SESSION_CONNECTED, PL_SCREEN_CHANGED}))
        << "connected, then the first screen";

    const auto bytes = ScreenBytes(s.handle);
    TMemoryStream stream(bytes);
    THostFields list;
    list.LoadFromStream(stream);
    EXPECT_EQ(list.TermModel, 3179);
    EXPECT_EQ(list.CurPos, 0);
    EXPECT_EQ(list.WindowMode, 0);
    ASSERT_EQ(list.Fields.size(), 2u) << "a blank row has no field";
    const struct {
        int row;
        const char* data;
    } want[] = {{1, "  MAIN MENU"}, {3, "Selecci\xF3n \xE9t\xE9"}};
    for (size_t i = 0; i < std::size(want); ++i) {
        const THostBasicField& f = *list.Fields[i];
        EXPECT_EQ(f.Row, want[i].row);
        EXPECT_EQ(f.Col, 1);
        EXPECT_EQ(f.Len, 80);
        EXPECT_EQ(f.Pos, (want[i].row - 1) * 80 + 1);
        EXPECT_TRUE(f.GetAttr().Has(attProtected));
        EXPECT_FALSE(f.GetAttr().Has(attUnProtected));
        EXPECT_EQ(f.Data, want[i].data) << "Latin-1 bytes reach the control unchanged";
    }

    // GetScreenEx serves the same list; a small buffer gets the list cut.
    std::vector<uint8_t> ex(8192);
    ASSERT_EQ(Virtual().GetScreenEx(s.handle, ex.data(), 8192), static_cast<int32_t>(bytes.size()));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), ex.begin()));
    const auto cut = ScreenBytes(s.handle, 10);
    EXPECT_EQ(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10));
    uint8_t one = 0;
    EXPECT_EQ(Virtual().GetScreen(s.handle, nullptr, 8192), -1);
    EXPECT_EQ(Virtual().GetScreen(s.handle, &one, 0), -1);
}

TEST(PLVirtual, AnyAttentionKeySendsTheScreenAgainAndUnlocks) {
    TTempDir dir;
    dir.write("t.txt", "Hello\n");
    TSession s(dir.file("t.txt"));
    ASSERT_GT(s.handle, 0);
    const auto before = ScreenBytes(s.handle);

    // What the binding sends: its input list (here empty) with the cursor.
    THostFields input;
    input.CurPos = 1;
    TMemoryStream stream;
    input.SaveToStream(stream);
    for (const char* aid : {"@E", "@1", "HELP"}) {
        const size_t seen = s.events.Entries().size();
        EXPECT_EQ(Virtual().SendToScreen(s.handle, aid, stream.data(),
                                         static_cast<int32_t>(stream.size())),
                  0)
            << aid;
        const auto events = Events(s.events);
        EXPECT_EQ(std::vector<uint8_t>(events.begin() + static_cast<long>(seen), events.end()),
                  (std::vector<uint8_t>{PL_SCREEN_CHANGED, PL_KBD_UNLOCKED}))
            << aid;
    }
    EXPECT_EQ(ScreenBytes(s.handle), before);
    EXPECT_EQ(Virtual().SendSystemRequest(s.handle, ""), 0);
    EXPECT_EQ(Virtual().SendToScreen(s.handle, "@E", nullptr, 0), -1);
    EXPECT_EQ(Virtual().SendToScreen(s.handle, nullptr, stream.data(), 1), -1);
    EXPECT_EQ(Virtual().SetParams(s.handle, "X=1"), 0);
    EXPECT_EQ(Virtual().LastResult(s.handle), 0);
}

TEST(PLVirtual, MissingTemplateFailsWithItsTextAndEventOne) {
    TTempDir dir;
    const std::string missing = dir.file("nope.txt");
    TEventLog events;
    EXPECT_EQ(Virtual().Connect(missing.c_str(), events.UserData(), &TEventLog::Callback), -1);
    EXPECT_EQ(std::string(Virtual().LastErrMsg()),
              "Can't open template file: " + missing + " (No such file or directory)");
    EXPECT_EQ(Events(events), std::vector<uint8_t>{PL_SESSION_CONNECTED_FAIL});
    EXPECT_EQ(Virtual().Connect(missing.c_str(), 0, nullptr), -1) << "no callback is fine too";

    // The failed attempts left no handle taken.
    dir.write("t.txt", "x");
    TSession s(dir.file("t.txt"));
    EXPECT_EQ(s.handle, 1);
}

TEST(PLVirtual, DisconnectReportsOnceAndFreesTheHandle) {
    TTempDir dir;
    dir.write("t.txt", "x");
    const std::string path = dir.file("t.txt");
    TSession a(path), b(path);
    ASSERT_EQ(a.handle, 1);
    ASSERT_EQ(b.handle, 2);

    EXPECT_EQ(Virtual().Disconnect(a.handle), 0);
    EXPECT_EQ(Virtual().Disconnect(a.handle), -1);
    EXPECT_EQ(a.events.Count(PL_SESSION_DISCONNECTED), 1);
    EXPECT_EQ(Virtual().GetScreen(a.handle, std::vector<uint8_t>(64).data(), 64), -1);
    EXPECT_EQ(Virtual().SendToScreen(a.handle, "@E", "", 0), -1);
    EXPECT_EQ(a.events.Count(PL_SCREEN_CHANGED), 1) << "nothing reaches a closed session";

    TSession c(path);
    EXPECT_EQ(c.handle, 1) << "the lowest free handle is given again";
    EXPECT_EQ(b.events.Count(PL_SESSION_DISCONNECTED), 0);
    a.handle = -1;
}

TEST(PLVirtual, HandlesRunFromOneTo255) {
    TTempDir dir;
    dir.write("t.txt", "x");
    std::vector<std::unique_ptr<TSession>> open;
    for (int i = 1; i <= 255; ++i) {
        open.push_back(std::make_unique<TSession>(dir.file("t.txt")));
        ASSERT_EQ(open.back()->handle, i);
    }
    TEventLog refused;
    EXPECT_EQ(
        Virtual().Connect(dir.file("t.txt").c_str(), refused.UserData(), &TEventLog::Callback), -1);
    EXPECT_STREQ(Virtual().LastErrMsg(), "Invalid Handle passed as parameter");
    EXPECT_TRUE(Events(refused).empty());

    // Each on a thread of its own, whose text starts empty.
    for (int32_t bad : {0, 256, -1}) {
        std::string text;
        std::thread([&] {
            EXPECT_EQ(Virtual().Disconnect(bad), -1);
            text = Virtual().LastErrMsg();
        }).join();
        EXPECT_EQ(text, "Invalid Handle passed as parameter") << bad;
    }
}

} // namespace
