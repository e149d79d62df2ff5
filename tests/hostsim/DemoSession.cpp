#include "DemoSession.h"

#include <array>
#include <utility>

#include "ByteReader.h"
#include "TelnetUnits.h"

namespace hostsim {

namespace {

// The 5250 record header: length, record type, two reserved bytes, then the
// variable header whose first byte counts its own length.
constexpr uint16_t kRecordType5250 = 0x12A0;
constexpr uint8_t kEscape = 0x04;
constexpr uint8_t kClearUnit = 0x40, kClearUnitAlternate = 0x20, kWriteToDisplay = 0x11;
constexpr uint8_t kSetBufferAddress = 0x11, kStartOfField = 0x1D, kInsertCursor = 0x13;
constexpr uint8_t kNormal = 0x20, kHighIntensity = 0x22, kUnderline = 0x24, kNonDisplay = 0x27;

// EBCDIC 037 of the marks the screens use; letters and digits are computed.
constexpr std::array<std::pair<char, uint8_t>, 12> kMarks = {{{' ', 0x40},
                                                              {'.', 0x4B},
                                                              {'(', 0x4D},
                                                              {'&', 0x50},
                                                              {')', 0x5D},
                                                              {'-', 0x60},
                                                              {'/', 0x61},
                                                              {',', 0x6B},
                                                              {'>', 0x6E},
                                                              {'?', 0x6F},
                                                              {':', 0x7A},
                                                              {'=', 0x7E}}};

std::optional<uint8_t> ToEbcdic(char c) {
    if (c >= 'A' && c <= 'I') return static_cast<uint8_t>(0xC1 + c - 'A');
    if (c >= 'J' && c <= 'R') return static_cast<uint8_t>(0xD1 + c - 'J');
    if (c >= 'S' && c <= 'Z') return static_cast<uint8_t>(0xE2 + c - 'S');
    if (c >= 'a' && c <= 'i') return static_cast<uint8_t>(0x81 + c - 'a');
    if (c >= 'j' && c <= 'r') return static_cast<uint8_t>(0x91 + c - 'j');
    if (c >= 's' && c <= 'z') return static_cast<uint8_t>(0xA2 + c - 's');
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(0xF0 + c - '0');
    for (auto [ascii, ebcdic] : kMarks)
        if (ascii == c) return ebcdic;
    return std::nullopt;
}

// A write-to-display record built from text lines and input fields.
class TScreenBuilder {
public:
    TScreenBuilder() {
        // Header (Take fills in the length), opcode put/get.
        r_ = {0x00, 0x00, 0x12, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x00, 0x03};
        r_.insert(r_.end(), {kEscape, kClearUnit});
        // Write to display, the keyboard unlocked.
        r_.insert(r_.end(), {kEscape, kWriteToDisplay, 0x00, 0x18});
    }
    // The attribute takes the cell at col; the text starts after it.
    TScreenBuilder& Text(TScreenAddress at, uint8_t attribute, std::string_view text) {
        r_.insert(r_.end(), {kSetBufferAddress, at.Row, at.Col, attribute});
        Bytes e = Ebcdic(text);
        r_.insert(r_.end(), e.begin(), e.end());
        r_.push_back(kNormal);
        return *this;
    }
    // An input field whose first data cell is `data`: the start-of-field
    // order (format word, attribute, length) sits in the cell before it.
    TScreenBuilder& Field(TScreenAddress data, uint8_t attribute, uint8_t length) {
        r_.insert(r_.end(), {kSetBufferAddress, data.Row, static_cast<uint8_t>(data.Col - 1),
                             kStartOfField, 0x40, 0x00, attribute, 0x00, length});
        r_.insert(r_.end(), length, 0x00);
        return *this;
    }
    // Places the cursor and asks for the modified fields with the next AID.
    Bytes Take(TScreenAddress cursor) {
        r_.insert(r_.end(), {kInsertCursor, cursor.Row, cursor.Col});
        r_.insert(r_.end(), {kEscape, 0x52, 0x00, 0x00});
        r_[0] = static_cast<uint8_t>(r_.size() >> 8);
        r_[1] = static_cast<uint8_t>(r_.size());
        return std::move(r_);
    }

private:
    Bytes r_;
};

// The first command of a record's data: ESC and its code; none when the
// record is not a 5250 record or holds no command.
std::optional<uint8_t> FirstCommand(std::span<const uint8_t> record) {
    try {
        TByteReader in(record);
        in.skip(2); // the length; ScreensOfTrace takes the record as it came
        if (in.u16be() != kRecordType5250) return std::nullopt;
        in.skip(2);
        const uint8_t varLength = in.peek();
        if (varLength == 0) return std::nullopt;
        in.skip(varLength);
        if (in.byte() != kEscape) return std::nullopt;
        return in.byte();
    } catch (const EReadError&) {
        return std::nullopt;
    }
}

std::string AidName(uint8_t aid) {
    if (aid == kAidEnter) return "ENTER";
    static const char digits[] = "0123456789ABCDEF";
    return std::string("AID 0x") + digits[aid >> 4] + digits[aid & 15];
}

} // namespace

Bytes Ebcdic(std::string_view text) {
    Bytes out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(ToEbcdic(c).value_or(0x40));
    return out;
}

std::string FromEbcdic(std::span<const uint8_t> bytes) {
    // Built once from the forward table, so the two directions cannot differ.
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t;
        t.fill('?');
        for (int c = 1; c < 128; ++c)
            if (auto e = ToEbcdic(static_cast<char>(c))) t[*e] = static_cast<char>(c);
        return t;
    }();
    std::string out;
    out.reserve(bytes.size());
    for (uint8_t b : bytes)
        out += table[b];
    return out;
}

Bytes SignOnScreen() {
    return TScreenBuilder()
        .Text({1, 35}, kHighIntensity, "Sign On")
        .Text({2, 48}, kNormal, "System  . . . . :   DEMO")
        .Text({3, 48}, kNormal, "Subsystem . . . :   HOSTSIM")
        .Text({6, 17}, kNormal, "User  . . . . . . . . . . . . . .")
        .Field(kSignOnUserField, kUnderline, 10)
        .Text({7, 17}, kNormal, "Password  . . . . . . . . . . . .")
        .Field(kSignOnPasswordField, kNonDisplay, 10)
        .Text({24, 2}, kNormal, "Type any user and press Enter.")
        .Take(kSignOnUserField);
}

Bytes MenuScreen() {
    return TScreenBuilder()
        .Text({1, 1}, kHighIntensity, "MAIN")
        .Text({1, 33}, kHighIntensity, "Demo Main Menu")
        .Text({3, 1}, kNormal, "Select one of the following:")
        .Text({5, 5}, kNormal, "1. User tasks")
        .Text({6, 5}, kNormal, "2. Office tasks")
        .Text({7, 5}, kNormal, "3. General system tasks")
        .Text({8, 5}, kNormal, "4. Files, libraries and folders")
        .Text({10, 4}, kNormal, "90. Sign off")
        .Text({19, 1}, kNormal, "Selection or command")
        .Text({20, 1}, kNormal, "===>")
        .Field(kMenuOptionField, kUnderline, 40)
        .Text({24, 2}, kNormal, "Every Enter shows this menu again.")
        .Take(kMenuOptionField);
}

std::optional<TInputRecord> ParseInputRecord(std::span<const uint8_t> record) {
    try {
        TByteReader header(record);
        const uint16_t length = header.u16be();
        if (header.u16be() != kRecordType5250) return std::nullopt;
        header.skip(2);
        const uint8_t varLength = header.peek();
        if (varLength == 0) return std::nullopt;
        header.skip(varLength);
        // The data ends where the record says it does, and never past what came.
        if (length < header.position() || length > record.size()) return std::nullopt;
        TByteReader in(record.subspan(header.position(), length - header.position()));

        TInputRecord input;
        input.Cursor.Row = in.byte();
        input.Cursor.Col = in.byte();
        input.Aid = in.byte();
        while (!in.atEnd()) {
            if (in.byte() != kSetBufferAddress) return std::nullopt;
            TInputField field;
            field.Address.Row = in.byte();
            field.Address.Col = in.byte();
            Bytes text;
            while (!in.atEnd() && in.peek() != kSetBufferAddress)
                text.push_back(in.byte());
            field.Text = FromEbcdic(text);
            input.Fields.push_back(std::move(field));
        }
        return input;
    } catch (const EReadError&) {
        return std::nullopt;
    }
}

std::vector<Bytes> ScreensOfTrace(const std::vector<TTraceStep>& steps) {
    // One splitter over every host step: a record may span two of them.
    TTelnetSplitter splitter;
    std::vector<TTelnetUnit> units;
    for (const TTraceStep& step : steps)
        if (step.fromServer) splitter.Feed(step.data.data(), step.data.size(), units);
    std::vector<Bytes> screens;
    for (TTelnetUnit& unit : units) {
        if (unit.kind != TTelnetUnit::TKind::Record) continue;
        const auto command = FirstCommand(unit.payload);
        if (command == kClearUnit || command == kClearUnitAlternate || command == kWriteToDisplay)
            screens.push_back(std::move(unit.payload));
    }
    return screens;
}

bool ServeDemo(TSimConnection& conn, const std::vector<Bytes>& screens,
               const std::function<bool()>& stopping,
               const std::function<void(const std::string&)>& log) {
    if (!conn.Negotiate()) {
        log("the client did not complete the negotiation");
        return false;
    }
    log("terminal type " + conn.TerminalType());
    size_t current = 0;
    auto show = [&] {
        log("showing screen " + std::to_string(current + 1) + " of " +
            std::to_string(screens.size()));
        conn.SendRecord(screens[current]);
    };
    AnswerRecords(conn, stopping, show, [&](const Bytes& record) {
        const auto input = ParseInputRecord(record);
        if (input) {
            log("client sent " + AidName(input->Aid) + " with " +
                std::to_string(input->Fields.size()) + " modified field(s)");
            if (input->Aid == kAidEnter && current + 1 < screens.size()) ++current;
        } else {
            log("client sent a record of " + std::to_string(record.size()) + " bytes");
        }
    });
    return true;
}

void AnswerRecords(TSimConnection& conn, const std::function<bool()>& stopping,
                   const std::function<void()>& show,
                   const std::function<void(const Bytes& record)>& take) {
    show();
    while (!stopping()) {
        Bytes record;
        if (!conn.ReadRecord(record, milliseconds(200))) {
            if (conn.ClientClosed()) break;
            continue;
        }
        take(record);
        // Whatever the client sent, it waits with its keyboard locked.
        show();
    }
}

} // namespace hostsim
