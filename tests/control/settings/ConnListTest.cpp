// The connections list model: a working copy edited by Add, Modify and
// Delete and handed to the caller only on OK.
#include <gtest/gtest.h>

#include "control/dialogs/FakeDialogs.h"
#include "uConnList.h"

namespace {

TConnList MakeList(std::initializer_list<const char*> names) {
    TConnList list;
    for (const char* n : names)
        list.push_back(std::make_unique<TConnParm>(TConnParm{n, std::string(n) + ";p", "TN5250"}));
    return list;
}

std::vector<std::string> Names(const TConnList& list) {
    std::vector<std::string> names;
    for (const auto& c : list)
        names.push_back(c->Name);
    return names;
}

struct ConnList : ::testing::Test {
    TFakeDialogs dialogs;
    std::function<bool(TConnParm&)> editor = [](TConnParm&) { return false; };
    TConnListModel model{dialogs, [this](TConnParm& c) { return editor(c); }};
    TConnList list = MakeList({"a", "b", "c"});
};

TEST_F(ConnList, DeleteAnsweredNoKeepsTheRow) {
    model.Load(list[1].get(), list);
    dialogs.Answers = {TMsgAnswer::No};
    EXPECT_FALSE(model.Delete());
    EXPECT_EQ(dialogs.Messages, std::vector<std::string>{"Delete this connection?"});
    EXPECT_EQ(model.RowCount(), 3u);
    dialogs.Answers = {TMsgAnswer::Yes};
    EXPECT_TRUE(model.Delete());
    EXPECT_EQ(model.RowCount(), 2u);
    EXPECT_EQ(model.Row(1).Name, "c");
}

TEST_F(ConnList, OkAfterDeletingEveryConnectionEmptiesTheCallersList) {
    model.Load(list[0].get(), list);
    for (int i = 0; i < 3; ++i) {
        model.Select(0);
        ASSERT_TRUE(model.Delete());
    }
    TConnListResult r = model.Accept(list);
    EXPECT_TRUE(r.Accepted);
    EXPECT_EQ(r.Current, nullptr);
    EXPECT_TRUE(list.empty());
}

TEST_F(ConnList, DeletedCurrentFallsBackToFirstRecordOfTheNewList) {
    model.Load(list[1].get(), list);
    ASSERT_TRUE(model.Delete());
    TConnListResult r = model.Accept(list);
    ASSERT_EQ(Names(list), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(r.Current, list[0].get());
}

TEST_F(ConnList, CancelledAddLeavesNoRecordAndKeepsCurrent) {
    model.Load(list[2].get(), list);
    EXPECT_FALSE(model.Add());
    EXPECT_EQ(model.RowCount(), 3u);
    TConnListResult r = model.Accept(list);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(r.Current, list[2].get());
}

TEST_F(ConnList, AddedRecordsFollowTheOldOnesAndBecomeCurrent) {
    model.Load(nullptr, list);
    EXPECT_EQ(model.Selected(), -1);
    editor = [](TConnParm& c) {
        EXPECT_EQ(c.Name, ""); // a new record starts empty
        c = {"new", "h", "TN3270"};
        return true;
    };
    ASSERT_TRUE(model.Add());
    EXPECT_EQ(model.Selected(), 3);
    TConnListResult r = model.Accept(list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "b", "c", "new"}));
    EXPECT_EQ(r.Current, list[3].get());
}

TEST_F(ConnList, CancelLeavesTheCallersRecordsUntouched) {
    TConnParm* b = list[1].get();
    model.Load(b, list);
    editor = [](TConnParm& c) {
        c.Param = "changed";
        return true;
    };
    ASSERT_TRUE(model.Modify());
    EXPECT_EQ(model.Row(1).Param, "changed");
    EXPECT_EQ(b->Param, "b;p");
}

TEST_F(ConnList, ModifyEditsTheSelectedRowAndMakesItCurrent) {
    model.Load(list[0].get(), list);
    model.Select(-1);
    EXPECT_FALSE(model.Modify()); // no row selected: nothing happens
    model.Select(2);
    editor = [](TConnParm& c) {
        EXPECT_EQ(c.Name, "c");
        c.Name = "c2";
        return true;
    };
    ASSERT_TRUE(model.Modify());
    TConnListResult r = model.Accept(list);
    EXPECT_EQ(r.Current, list[2].get());
    EXPECT_EQ(list[2]->Name, "c2");
}

TEST_F(ConnList, EmptyListWithoutCurrentGivesNoCurrent) {
    TConnList empty;
    model.Load(nullptr, empty);
    EXPECT_EQ(model.RowCount(), 0u);
    TConnListResult r = model.Accept(empty);
    EXPECT_TRUE(r.Accepted);
    EXPECT_EQ(r.Current, nullptr);
}

TEST(ConnListTypes, OnlyTheTypeNamedExactlyHttpIsNotOffered) {
    TConnType v{"Virtual", "", 0}, h{"HTTP", "", 1}, t{"TN3270", "", 2}, l{"http", "", 3};
    auto offered = OfferedTypes({&v, &h, &t, &l});
    EXPECT_EQ(offered, (std::vector<const TConnType*>{&v, &t, &l}));
}

} // namespace
