// The telnet transport's option negotiation and terminal-type answers
// against a host on loopback.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TelnetLink.h"

using namespace telnettest;

namespace {

// The commands go in the map's order: every WILL, then every WONT, DO and
// DONT, so each WONT and DONT meets what the WILL or the DO before it turned
// on: a request to turn it off, which is always acknowledged.
TEST(Negotiation, EveryVerbAgainstEveryOption) {
    const std::string loc = "TPLTelnet";
    Bytes locationAnswer = {IAC, WILL, 23, IAC, SB, 23};
    locationAnswer.insert(locationAnswer.end(), loc.begin(), loc.end());
    locationAnswer.insert(locationAnswer.end(), {IAC, SE});
    const std::map<std::pair<uint8_t, uint8_t>, Bytes> replies = {
        {{WILL, 0}, {IAC, DO, 0}},
        {{DO, 0}, {IAC, WILL, 0}},
        {{WONT, 0}, {IAC, DONT, 0}},
        {{DONT, 0}, {IAC, WONT, 0}},
        {{WILL, 1}, {IAC, DO, 1}},
        {{DO, 1}, {}},
        {{WONT, 1}, {IAC, DONT, 1}},
        {{DONT, 1}, {}},
        {{WILL, 3}, {IAC, DO, 3}},
        {{DO, 3}, {IAC, WILL, 3}},
        {{WONT, 3}, {IAC, DONT, 3}},
        {{DONT, 3}, {IAC, WONT, 3}},
        {{WILL, 23}, {}},
        {{DO, 23}, locationAnswer},
        {{WONT, 23}, {}},
        {{DONT, 23}, {IAC, WONT, 23}},
        {{WILL, 24}, {}},
        {{DO, 24}, {IAC, WILL, 24}},
        {{WONT, 24}, {}},
        {{DONT, 24}, {IAC, WONT, 24}},
        {{WILL, 25}, {IAC, DO, 25}},
        {{DO, 25}, {IAC, WILL, 25}},
        {{WONT, 25}, {IAC, DONT, 25}},
        {{DONT, 25}, {IAC, WONT, 25}},
        // Refused once already (the WILL and the DO come first): not again.
        {{WILL, 40}, {IAC, DONT, 40}},
        {{DO, 40}, {IAC, WONT, 40}},
        {{WONT, 40}, {}},
        {{DONT, 40}, {}},
        {{WILL, 39}, {IAC, DONT, 39}},
        {{DO, 39}, {IAC, WONT, 39}},
        // Asked first, a WONT or a DONT of an unknown option is refused in kind.
        {{WONT, 38}, {IAC, DONT, 38}},
        {{DONT, 37}, {IAC, WONT, 37}},
    };
    Linked link;
    // Each command is followed by DO of an option of its own, whose refusal
    // marks where the answer to the command ends; an answer of nothing is
    // then visible.
    uint8_t markerOption = 100;
    for (auto& [command, expected] : replies) {
        size_t before = link.conn->Captured().size();
        link.conn->SendRaw({IAC, command.first, command.second, IAC, DO, markerOption});
        EXPECT_EQ(link.SentUntil(before, {IAC, WONT, markerOption++}), expected)
            << "verb " << int(command.first) << " option " << int(command.second);
    }
}

// Each command followed by DO of an option of its own, whose refusal marks
// where the answer ends: what the session sent in answer to the command.
struct TAnswers {
    Linked& link;
    uint8_t marker = 100;
    Bytes operator()(uint8_t verb, uint8_t option) {
        const size_t before = link.conn->Captured().size();
        link.conn->SendRaw({IAC, verb, option, IAC, DO, marker});
        return link.SentUntil(before, {IAC, WONT, marker++});
    }
};

TEST(Negotiation, EachDirectionIsTurnedOffOnceAndTheModeWaitsForBothAgain) {
    // BINARY and END-OF-RECORD: a DONT stops the session's direction (WONT),
    // a WONT the host's (DONT), each answered once whatever the other
    // direction's state, and not at all when that direction is off. The
    // mode is on from the first direction agreed; once either is turned
    // off, only when both are agreed again.
    struct Step {
        uint8_t verb;
        bool answered;
        bool modeOn;
    };
    // From a session that negotiated nothing yet.
    const std::vector<Step> fresh = {
        {WONT, false, false}, {WILL, true, true}, {WONT, true, false},
        {DO, true, false},    {WILL, true, true},
    };
    // From a host's negotiation, in effect both ways.
    const std::vector<Step> negotiated = {
        {DONT, true, false}, {DONT, false, false}, {WONT, true, false}, {WONT, false, false},
        {WILL, true, false}, {DO, true, true},     {WONT, true, false}, {DONT, true, false},
        {DO, true, false},   {WONT, false, false}, {WILL, true, true},
    };
    for (bool afterNegotiation : {false, true}) {
        for (uint8_t option : {uint8_t{0}, uint8_t{25}}) {
            SCOPED_TRACE(std::string(afterNegotiation ? "negotiated" : "fresh") + ", option " +
                         std::to_string(option));
            Linked link;
            if (afterNegotiation) {
                ASSERT_TRUE(link.conn->Negotiate());
            }
            TAnswers answer{link};
            auto modeOn = [&] {
                return option == 0 ? Binary(*link.session) : Framing(*link.session);
            };
            ASSERT_EQ(modeOn(), afterNegotiation);
            const auto& steps = afterNegotiation ? negotiated : fresh;
            for (size_t i = 0; i < steps.size(); ++i) {
                const uint8_t v = steps[i].verb;
                const uint8_t reply = v == WILL ? DO : v == DO ? WILL : v == WONT ? DONT : WONT;
                const Bytes expected = steps[i].answered ? Bytes{IAC, reply, option} : Bytes{};
                EXPECT_EQ(answer(v, option), expected) << "step " << i;
                EXPECT_EQ(modeOn(), steps[i].modeOn) << "step " << i;
            }
            EXPECT_EQ(link.session->Count(ceSessionDisconnected), 0);
        }
    }
}

TEST(Negotiation, RequestsForWhatIsInEffectAreNeverAnsweredAgain) {
    // A host that repeats every request, and one that acknowledges every
    // answer in kind (WILL with DO, DO with WILL, WONT with DONT, DONT with
    // WONT): each request is answered once, and the exchange ends.
    Linked link;
    ASSERT_TRUE(link.conn->Negotiate());
    const Bytes afterNegotiation = link.conn->Captured();
    link.conn->SendRaw({IAC, DO, 24, IAC, DO, 25, IAC, WILL, 25, IAC, DO, 0, IAC, WILL, 0});
    link.conn->AcknowledgeEveryOption();
    link.conn->SendRaw({IAC, DO, 40, IAC, WILL, 41, IAC, DO, 3, IAC, WILL, 3, IAC, DO, 23});
    link.conn->SendRecord({0x01});
    ASSERT_TRUE(link.session->Recorder().WaitForRecords(1));
    Bytes expected = {IAC, WONT, 40, IAC, DONT, 41, IAC, WILL, 3,
                      IAC, DO,   3,  IAC, WILL, 23, IAC, SB,   23};
    for (char c : std::string("TPLTelnet"))
        expected.push_back(static_cast<uint8_t>(c));
    expected.insert(expected.end(), {IAC, SE});
    // A request sent once the answers have come follows every
    // acknowledgement of them: an answer to one comes before its answer.
    ASSERT_TRUE(link.conn->WaitForBytes(afterNegotiation.size() + expected.size()));
    link.conn->SendRaw({IAC, DO, 100});
    EXPECT_EQ(link.SentUntil(afterNegotiation.size(), {IAC, WONT, 100}), expected);
    EXPECT_TRUE(Binary(*link.session));
    EXPECT_EQ(link.session->Count(ceSessionDisconnected), 0);
}

TEST(Negotiation, FullHostNegotiationAnswersEachRequestOnce) {
    Linked link;
    ASSERT_TRUE(link.conn->Negotiate());
    EXPECT_EQ(link.conn->TerminalType(), "IBM-3179-2");
    EXPECT_TRUE(Binary(*link.session));
}

TEST(TerminalType, AskedTwiceEndsTheSessionWithTheRefusalText) {
    Linked link;
    link.conn->SendRaw({IAC, SB, 24, 1, IAC, SE});
    Bytes expected = {IAC, SB, 24, 0};
    for (char c : std::string("IBM-3179-2"))
        expected.push_back(static_cast<uint8_t>(c));
    expected.insert(expected.end(), {IAC, SE});
    ASSERT_TRUE(link.conn->WaitForBytes(expected.size()));
    EXPECT_EQ(link.conn->Captured(), expected);
    // The second request, then a record in the same block that must not be read.
    link.conn->SendRaw({IAC, SB, 24, 1, IAC, SE, 0x41, IAC, EOR});
    ASSERT_TRUE(link.session->WaitFor(ceSessionDisconnected));
    auto events = link.session->Events();
    ASSERT_EQ(events.back().event, ceSessionDisconnected);
    EXPECT_EQ(events.back().lastError, "Invalid Terminal Type or LU Name");
    EXPECT_NE(events.back().thread, std::this_thread::get_id());
    EXPECT_TRUE(link.conn->WaitClientClosed());
    link.session->JoinReader();
    EXPECT_TRUE(link.session->Recorder().Records().empty());
    EXPECT_EQ(link.session->TermTypeRequests(), 2);
}

TEST(TerminalType, OverlongSubnegotiationIsCutNotOverflowed) {
    Linked link;
    link.conn->SendLongSubnegotiation(101);
    link.conn->SendLongSubnegotiation(5000);
    link.conn->SendRecord({0x01, 0x02});
    ASSERT_TRUE(link.session->Recorder().WaitForRecords(1));
    EXPECT_EQ(link.session->Recorder().Records()[0], (Bytes{0x01, 0x02}));
    EXPECT_TRUE(link.session->Connected());
}

TEST(Subnegotiation, EndsOnlyAtIacSe) {
    // A data byte of 0xF0 (SE without IAC) and a doubled IAC stay inside the
    // subnegotiation, whose option is refused; the record after it arrives as
    // it was sent.
    Linked link;
    link.conn->SendRaw({IAC, SB, 39, 1, 0xF0, 0x41, IAC, IAC, 0x42, IAC, SE});
    link.conn->SendRecord({0x01, 0x02});
    ASSERT_TRUE(link.session->Recorder().WaitForRecords(1));
    EXPECT_EQ(link.session->Recorder().Records()[0], (Bytes{0x01, 0x02}));
}

} // namespace
