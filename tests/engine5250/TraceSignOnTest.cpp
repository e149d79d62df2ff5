// The sign-on screen of a recorded session: the host's record, interpreted,
// must give the screen that the person at the terminal saw.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "HostSim.h"
#include "Stream5250Rig.h"

using namespace rig5250;

namespace {

const std::filesystem::path kTraces = CORVALEN_TRACES_DIR;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The first whole record of some size that the host sends, without its
// telnet framing: doubled IAC bytes undoubled, the IAC EOR dropped.
Bytes FirstScreenRecord(const std::vector<hostsim::TTraceStep>& steps) {
    for (const auto& step : steps) {
        const Bytes& raw = step.data;
        if (!step.fromServer || raw.size() < 100 || raw[raw.size() - 2] != 0xFF ||
            raw.back() != 0xEF)
            continue;
        const size_t end = raw.size() - 2;
        Bytes record;
        for (size_t i = 0; i < end; ++i) {
            record.push_back(raw[i]);
            if (raw[i] == 0xFF && i + 1 < end && raw[i + 1] == 0xFF) ++i;
        }
        return record;
    }
    return {};
}

struct TSeenField {
    int row, col, length;
    bool secret;
};

// The screen as the person saw it: the text of the page's <pre> elements
// split into rows, and the input fields it marks.
struct TSeenScreen {
    std::vector<std::string> rows;
    std::vector<TSeenField> fields;
};

TSeenScreen ReadSeenScreen(const std::string& html) {
    TSeenScreen seen;
    std::string text;
    size_t at = html.find("<body>");
    while ((at = html.find("<pre", at)) != std::string::npos) {
        const size_t tagEnd = html.find('>', at);
        const size_t close = html.find("</pre>", tagEnd);
        if (tagEnd == std::string::npos || close == std::string::npos) break;
        const std::string tag = html.substr(at, tagEnd - at);
        const std::string content = html.substr(tagEnd + 1, close - tagEnd - 1);
        if (tag.find("contenteditable") != std::string::npos) {
            const size_t lineStart = text.rfind('\n');
            const int row = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
            const int col = static_cast<int>(text.size() -
                                             (lineStart == std::string::npos ? 0 : lineStart + 1)) +
                            1;
            seen.fields.push_back({row, col, static_cast<int>(content.size()),
                                   tag.find("secretcontent") != std::string::npos});
        }
        text += content;
        at = close;
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        seen.rows.push_back(line);
    return seen;
}

class TraceSignOn : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kTraces / "tn5250-login.yml"))
            GTEST_SKIP() << "recorded sessions not found at " << kTraces;
        const Bytes record =
            FirstScreenRecord(hostsim::ParseTrace(ReadFile(kTraces / "tn5250-login.yml")));
        ASSERT_GT(record.size(), 10u);
        ASSERT_EQ(static_cast<size_t>(record[0] << 8 | record[1]), record.size())
            << "the record as the host framed it";
        rig.Feed(record);
        seen = ReadSeenScreen(ReadFile(kTraces / "tn5250-login-welcome-screen.html"));
        ASSERT_EQ(seen.rows.size(), 24u);
    }

    // A row of the display as a person sees it: cells without a character are blank.
    std::string ShownRow(int row) {
        std::string out;
        for (int col = 0; col < 80; ++col) {
            const uint8_t c = rig.display().Chars[static_cast<size_t>(row * 80 + col)];
            out.push_back(c < 0x20 ? ' ' : static_cast<char>(c));
        }
        return out;
    }

    TStreamRig rig;
    TSeenScreen seen;
};

TEST_F(TraceSignOn, EveryRowShowsTheTextThePersonSaw) {
    for (int row = 0; row < 24; ++row)
        EXPECT_EQ(ShownRow(row), seen.rows[static_cast<size_t>(row)]) << "row " << row + 1;
    EXPECT_EQ(ShownRow(5).find("User  . . . . . . . . . . . . . ."), 16u);
}

TEST_F(TraceSignOn, InputFieldsAreWhereThePageMarksThemWithThePasswordHidden) {
    auto& d = rig.display();
    ASSERT_EQ(d.FieldCount(), static_cast<int>(seen.fields.size()));
    ASSERT_EQ(seen.fields.size(), 5u);
    for (size_t i = 0; i < seen.fields.size(); ++i) {
        const TSeenField& want = seen.fields[i];
        const int start = (want.row - 1) * 80 + (want.col - 1);
        const TFieldFormatRec* f = d.Field(d.FieldMap[static_cast<size_t>(start)]);
        ASSERT_NE(f, nullptr) << "field at row " << want.row << " col " << want.col;
        EXPECT_EQ(f->Row, want.row);
        EXPECT_EQ(f->Col, want.col);
        EXPECT_EQ(f->Length, want.length);
        // Attribute 0x27 is non-display.
        EXPECT_EQ(f->Attribute == 0x27, want.secret) << "row " << want.row;
    }
    // The user typed the user name at row 6 and the password at row 7, column 53.
    EXPECT_EQ(seen.fields[0].row, 6);
    EXPECT_EQ(seen.fields[1].row, 7);
    EXPECT_TRUE(seen.fields[1].secret);
}

TEST_F(TraceSignOn, ScreenIsReadyForInput) {
    // No insert-cursor order and no format word asking for the cursor: it
    // stays home, and the session moves it into the first input field.
    EXPECT_EQ(rig.display().Cursor(), 0);
    EXPECT_EQ(rig.stream.StatusText, "") << "CC2 unlocks the keyboard";
    EXPECT_EQ(rig.stream.ReplyMode, 0) << "the record ends with READ MDT FIELDS";
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_TRUE(rig.display().Changed);
}

} // namespace
