// The engine against a real TN3270 host on loopback: the mainframe emulator
// with its fixed logo and a stand-alone echo program that answers each
// attention key with a Read Modified and a form showing the record it read.
// Skipped where the emulator is not installed.
#include <gtest/gtest.h>

#include "support/HerculesPeer.h"
#include "support/ScreenIo.h"
#include "support/Stream3270.h"

using namespace std::chrono_literals;
using namespace s3270;

namespace {

TEngine3270Module& E() {
    return Engine3270();
}

// The echo program's form: its screen counter, the input field (30 cells
// from row 3 column 13, holding the cursor) and the echo of the last inbound
// record (row 6, from column 2).
constexpr int kInputPos = Cell(3, 13) + 1, kInputLen = 30;

// What the form shows of an inbound record: its first 60 bytes, bytes below
// X'40' and X'FF' as '.', in the engine's local code, trailing blanks dropped.
std::string EchoOf(const Bytes& record) {
    Bytes shown(60, 0x40);
    for (size_t i = 0; i < record.size() && i < shown.size(); ++i)
        shown[i] = record[i] >= 0x40 && record[i] != 0xFF ? record[i] : 0x4B;
    std::string text = Local(shown);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string Counter(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "No. %03d", n);
    return text;
}

bool HasField(const THostFields& list, int row, int col, const std::string& data) {
    const THostBasicField* f = screenio::FieldAt(list, row, col);
    return f && f->Data == data;
}

const std::string kLogo = "PEER TEST LOGO - Hercules 3270 device ";

// One engine session on the emulator's next free device.
struct THerculesSession {
    TEventRecorder events{Engine3270().LastErrMsg};
    int32_t handle = -1;
    THostFields screen;

    explicit THerculesSession(uint16_t port) {
        const std::string connStr = "127.0.0.1;PORT=" + std::to_string(port);
        handle = E().Connect(connStr.c_str(), events.UserData(), &TEventRecorder::Callback);
    }
    ~THerculesSession() {
        if (handle > 0) E().Disconnect(handle);
    }
    bool WaitFor(const std::function<bool(const THostFields&)>& ready) {
        return screenio::WaitForScreen(handle, events, ready, screen, 10s);
    }
    // The device number that the logo names.
    std::string Device() const {
        const THostBasicField* f = screenio::FieldAt(screen, 1, 2);
        if (!f || f->Data.rfind(kLogo, 0) != 0) return "";
        return f->Data.substr(kLogo.size());
    }
};

class HerculesHost : public testing::Test {
protected:
    void SetUp() override {
        if (!THerculesPeer::Installed())
            GTEST_SKIP() << "hercules is not installed (apt-get install hercules)";
        peer_ = std::make_unique<THerculesPeer>();
    }
    void TearDown() override {
        if (HasFailure() && peer_) std::cerr << "hercules log:\n" << peer_->LogTail();
    }
    std::unique_ptr<THerculesPeer> peer_;
};

TEST_F(HerculesHost, LogoArrivesAsFieldsAndDisconnectFreesTheDevice) {
    {
        THerculesSession s(peer_->Port());
        ASSERT_GT(s.handle, 0) << E().LastErrMsg();
        // The host drops a client that answers out of turn or offers what it
        // did not ask for: a logo means the negotiation went as it expects.
        ASSERT_TRUE(s.WaitFor([](const THostFields& l) {
            const THostBasicField* f = screenio::FieldAt(l, 1, 2);
            return f && f->Data.rfind(kLogo, 0) == 0;
        })) << screenio::Describe(s.screen);
        EXPECT_EQ(s.Device(), "0010");
        const THostBasicField* title = screenio::FieldAt(s.screen, 1, 2);
        EXPECT_TRUE(title->GetAttr().Has(attProtected));
        EXPECT_TRUE(title->GetAttr().Has(attNormal));
        const THostBasicField* line3 = screenio::FieldAt(s.screen, 3, 2);
        ASSERT_NE(line3, nullptr) << screenio::Describe(s.screen);
        EXPECT_EQ(line3->Data, "Line three, intensified, protected");
        EXPECT_TRUE(line3->GetAttr().Has(attHigh));
        EXPECT_TRUE(line3->GetAttr().Has(attProtected));
        EXPECT_TRUE(HasField(s.screen, 24, 2, "Last line")) << screenio::Describe(s.screen);
        EXPECT_EQ(s.screen.CurPos, 0);
        EXPECT_TRUE(s.events.WaitFor(PL_KBD_UNLOCKED)) << "the logo restores the keyboard";

        EXPECT_EQ(E().Disconnect(s.handle), 0);
        EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 1);
        EXPECT_EQ(s.events.Entries().back().thread, std::this_thread::get_id());
        s.handle = -1;
    }
    // A cleanly closed line frees its device: the next client gets it again
    // (once the host has noticed the close).
    std::string device;
    for (auto deadline = std::chrono::steady_clock::now() + 5s;
         device != "0010" && std::chrono::steady_clock::now() < deadline;) {
        THerculesSession again(peer_->Port());
        ASSERT_GT(again.handle, 0) << E().LastErrMsg();
        ASSERT_TRUE(again.WaitFor([](const THostFields& l) {
            const THostBasicField* f = screenio::FieldAt(l, 1, 2);
            return f && f->Data.rfind(kLogo, 0) == 0;
        }));
        device = again.Device();
    }
    EXPECT_EQ(device, "0010") << "the first session still holds its device";
}

TEST_F(HerculesHost, EchoFormShowsExactlyWhatEnterAndPf3Sent) {
    THerculesSession s(peer_->Port());
    ASSERT_GT(s.handle, 0) << E().LastErrMsg();
    ASSERT_TRUE(s.WaitFor([](const THostFields& l) { return screenio::FieldAt(l, 1, 2); }));

    // ENTER on the logo brings up the form, echoing the bare ENTER.
    ASSERT_EQ(screenio::Send(s.handle, "@E", 0), 0) << E().LastErrMsg();
    ASSERT_TRUE(s.WaitFor([](const THostFields& l) { return HasField(l, 1, 71, Counter(1)); }))
        << screenio::Describe(s.screen);
    EXPECT_TRUE(HasField(s.screen, 6, 2, EchoOf({0x7D, 0x40, 0x40})))
        << screenio::Describe(s.screen);
    const THostBasicField* input = screenio::FieldAt(s.screen, 3, 13);
    ASSERT_NE(input, nullptr) << screenio::Describe(s.screen);
    EXPECT_EQ(input->Len, kInputLen);
    EXPECT_TRUE(input->GetAttr().Has(attUnProtected));
    EXPECT_EQ(s.screen.CurPos, kInputPos - 1);

    const struct {
        const char* aid;
        uint8_t code;
        std::string typed;
    } rounds[] = {{"@E", 0x7D, "HELLO WORLD"}, {"@3", 0xF3, "bye"}};
    int counter = 1;
    for (const auto& r : rounds) {
        SCOPED_TRACE(r.aid);
        const int cursor = kInputPos - 1 + static_cast<int>(r.typed.size());
        ASSERT_EQ(screenio::Send(s.handle, r.aid, cursor, {{kInputPos, kInputLen, r.typed}}), 0);
        const Bytes sent =
            Cat({{r.code}, Address(cursor), {0x11}, Address(kInputPos - 1), Host(r.typed)});
        ++counter;
        ASSERT_TRUE(s.WaitFor([&](const THostFields& l) {
            return HasField(l, 1, 71, Counter(counter));
        })) << screenio::Describe(s.screen);
        const THostBasicField* echo = screenio::FieldAt(s.screen, 6, 2);
        ASSERT_NE(echo, nullptr);
        EXPECT_EQ(echo->Data, EchoOf(sent));
        EXPECT_NE(echo->Data.find(r.typed), std::string::npos);
        EXPECT_TRUE(HasField(s.screen, 3, 13, "")) << "the new form's input field is empty";
    }

    EXPECT_EQ(E().Disconnect(s.handle), 0);
    EXPECT_EQ(s.events.Count(PL_SESSION_DISCONNECTED), 1);
    s.handle = -1;
}

TEST_F(HerculesHost, TwoSessionsAtOnceGetTheirOwnDevicesAndForms) {
    // The host negotiates with one client at a time (it mixes up the
    // negotiations of two clients that connect at the same moment), so the
    // second session connects once the first shows its logo.
    THerculesSession first(peer_->Port());
    ASSERT_GT(first.handle, 0) << E().LastErrMsg();
    ASSERT_TRUE(first.WaitFor([](const THostFields& l) { return screenio::FieldAt(l, 1, 2); }));
    THerculesSession second(peer_->Port());
    ASSERT_GT(second.handle, 0) << E().LastErrMsg();
    ASSERT_NE(first.handle, second.handle);
    ASSERT_TRUE(second.WaitFor([](const THostFields& l) { return screenio::FieldAt(l, 1, 2); }));
    EXPECT_EQ(first.Device(), "0010");
    EXPECT_EQ(second.Device(), "0011");

    ASSERT_EQ(screenio::Send(second.handle, "@E", 0), 0);
    ASSERT_TRUE(
        second.WaitFor([](const THostFields& l) { return HasField(l, 1, 71, Counter(1)); }));
    ASSERT_EQ(screenio::Send(first.handle, "@E", 0), 0);
    ASSERT_TRUE(first.WaitFor([](const THostFields& l) { return HasField(l, 1, 71, Counter(2)); }));
    // The second session's screen did not move.
    EXPECT_EQ(second.events.Count(PL_SCREEN_CHANGED), 4);
}

} // namespace
