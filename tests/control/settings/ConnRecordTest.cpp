// Connection records: the stored bytes, and reading them back from a value
// that may be damaged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PLError.h"
#include "uConnParm.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Record(const TConnParm& conn) {
    TMemoryStream stream;
    conn.SaveToStream(stream);
    return Bytes(stream.bytes().begin(), stream.bytes().end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(ConnRecord, WritesTheStoredBytesExactly) {
    const TConnParm conn{"Main", "host1;PORT=992", "TN3270"};
    const Bytes expected = {0x06, 0x04, 'M',  'a',  'i', 'n', 0x06, 0x0E, 'h', 'o',
                            's',  't',  '1',  ';',  'P', 'O', 'R',  'T',  '=', '9',
                            '9',  '2',  0x06, 0x06, 'T', 'N', '3',  '2',  '7', '0'};
    EXPECT_EQ(Record(conn), expected);
}

TEST(ConnRecord, PicksTheShortOrLongStringFormByLength) {
    struct Case {
        size_t length;
        Bytes head; // the Param value's leading bytes
    };
    const Case cases[] = {
        {0, {0x06, 0x00}},
        {255, {0x06, 0xFF}},
        {256, {0x0C, 0x00, 0x01, 0x00, 0x00}},
        {300, {0x0C, 0x2C, 0x01, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        const TConnParm conn{"", std::string(c.length, 'x'), ""};
        const Bytes bytes = Record(conn);
        ASSERT_EQ(bytes.size(), 2 + c.head.size() + c.length + 2) << c.length;
        EXPECT_EQ(Bytes(bytes.begin() + 2, bytes.begin() + 2 + c.head.size()), c.head) << c.length;
        TMemoryStream in(bytes);
        TConnParm back;
        back.LoadFromStream(in);
        EXPECT_EQ(back.Param, conn.Param) << c.length;
        EXPECT_EQ(in.position(), bytes.size()) << c.length;
    }
}

TEST(ConnRecord, ListRoundTripKeepsOrderAndEndsAtTheLastByte) {
    TConnList list;
    list.push_back(std::make_unique<TConnParm>(TConnParm{"Main", "host1;PORT=992", "TN3270"}));
    list.push_back(
        std::make_unique<TConnParm>(TConnParm{"Long", std::string(70000, 'p'), "TN5250"}));
    list.push_back(std::make_unique<TConnParm>(TConnParm{"", "", ""}));
    const Bytes bytes = SaveConnections(list);
    const TConnList back = LoadConnections(bytes);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i]->Name, list[i]->Name);
        EXPECT_EQ(back[i]->Param, list[i]->Param);
        EXPECT_EQ(back[i]->ConnType, list[i]->ConnType);
    }
    EXPECT_TRUE(SaveConnections({}).empty());
    EXPECT_TRUE(LoadConnections({}).empty());
}

// A record that does not read whole: its leading bytes, each after one good
// record, must end the list there and keep the good one.
TEST(ConnRecord, DamagedRecordEndsTheListKeepingTheRecordsBefore) {
    const Bytes good = Record(TConnParm{"Main", "host1", "TN3270"});
    struct Case {
        const char* what;
        Bytes tail;
    };
    const Case cases[] = {
        {"unknown value type", {0x07, 0x01, 'a'}},
        {"integer instead of a string", {0x02, 0x05, 0x06, 0x00, 0x06, 0x00}},
        {"short length past the end", {0x06, 0x05, 'a', 'b'}},
        {"record ends after two values", {0x06, 0x00, 0x06, 0x00}},
        {"long length past the end", {0x0C, 0x10, 0x00, 0x00, 0x00, 'a'}},
        {"long length cut short", {0x0C, 0x10, 0x00}},
        {"long length of 2^31", {0x0C, 0x00, 0x00, 0x00, 0x80, 'a'}},
        {"long length of 2^32-1", {0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
        {"long length just below 2^31", {0x0C, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}},
    };
    for (const Case& c : cases) {
        const TConnList list = LoadConnections(Concat({good, c.tail}));
        ASSERT_EQ(list.size(), 1u) << c.what;
        EXPECT_EQ(list[0]->Name, "Main") << c.what;
        EXPECT_EQ(list[0]->ConnType, "TN3270") << c.what;
    }
}

TEST(ConnRecord, FailedLoadRaisesAndLeavesTheStreamWhereItWas) {
    const Bytes bytes = {0x06, 0x01, 'A', 0x0C, 0x00, 0x00, 0x00, 0x80};
    TMemoryStream in(bytes);
    TConnParm conn;
    EXPECT_THROW(conn.LoadFromStream(in), EReadError);
    EXPECT_EQ(in.position(), 0u);

    TMemoryStream past(bytes);
    past.setPosition(100);
    EXPECT_THROW(conn.LoadFromStream(past), EReadError);
}

} // namespace
