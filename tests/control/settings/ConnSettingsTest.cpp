// The connection settings model: connection strings built and parsed per
// type, the checks of OK, and the HTTP module's parameter dialog.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "uConnSettings.h"

namespace {

const TConnType kVirtual{"Virtual", "PLVirtual.so", 0};
const TConnType k3270{"TN3270", "PLTN3270.so", 1};
const TConnType k5250{"TN5250", "PLTN5250.so", 2};
const TConnType kOther{"Serial", "PLSerial.so", 3};

// A dialog as the list dialog fills it, bound to conn.
void Fill(TConnSettings& s, TConnParm& conn) {
    for (const TConnType* t : {&kVirtual, &k3270, &k5250, &kOther})
        s.AddType(t->Name, t);
    s.LoadConnection(&conn);
}

// Gives the HTTP parameter text the way the user does: through ParamDialog.
std::string gNextParams;
uint16_t SetParams(intptr_t, char* buffer, int32_t size) {
    std::strncpy(buffer, gNextParams.c_str(), size_t(size) - 1);
    return 1;
}
void SetHttpParams(TConnSettings& s, const std::string& p) {
    gNextParams = p;
    s.CallParamDialog(&SetParams, 0);
}

struct BuildCase {
    const char* what;
    std::function<void(TConnSettings&)> edit;
    const char* param;
    const char* storedType;
};

class BuildAndParse : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuildAndParse, StoredStringIsExactAndParsesBackToTheSameFields) {
    const BuildCase& c = GetParam();
    SCOPED_TRACE(c.what);
    TConnParm conn;
    TConnSettings s;
    Fill(s, conn);
    s.Name = "Main";
    c.edit(s);
    auto r = s.Ok();
    ASSERT_TRUE(r.Stored) << int(r.Invalid);
    EXPECT_EQ(conn.Param, c.param);
    EXPECT_EQ(conn.ConnType, c.storedType);
    EXPECT_EQ(conn.Name, "Main");

    TConnSettings back;
    Fill(back, conn);
    EXPECT_EQ(back.ChosenType(), s.ChosenType());
    EXPECT_EQ(back.Page(), s.Page());
    EXPECT_EQ(back.UseHttp, s.UseHttp);
    EXPECT_EQ(back.HttpParams(), s.UseHttp ? s.HttpParams() : "");
    EXPECT_EQ(back.VirtualTemplate, s.VirtualTemplate);
    for (auto [a, b] : {std::pair{&back.Tn3270, &s.Tn3270}, std::pair{&back.Tn5250, &s.Tn5250}}) {
        EXPECT_EQ(a->Address, b->Address);
        EXPECT_EQ(a->Port, b->Port);
        EXPECT_EQ(a->TermType, b->TermType);
        EXPECT_EQ(a->LUName, b->LUName);
        EXPECT_EQ(a->TableName, b->TableName);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ConnStrings, BuildAndParse,
    ::testing::Values(
        BuildCase{"tn3270 defaults write the address alone",
                  [](TConnSettings& s) {
                      s.SelectType("TN3270");
                      s.Tn3270.Address = "host1";
                  },
                  "host1", "TN3270"},
        BuildCase{"tn3270 every item in order",
                  [](TConnSettings& s) {
                      s.SelectType("TN3270");
                      s.Tn3270 = {"host1", "2023", "IBM-3179-2", "LU01", "C:\\t\\a.tbl"};
                  },
                  "host1;PORT=2023;TRM=IBM-3179-2;DEV=LU01;TBL=C:\\t\\a.tbl", "TN3270"},
        BuildCase{"tn5250 default port with other terminal",
                  [](TConnSettings& s) {
                      s.SelectType("TN5250");
                      s.Tn5250.Address = "host1";
                      s.Tn5250.TermType = "IBM-5211-2";
                  },
                  "host1;TRM=IBM-5211-2", "TN5250"},
        BuildCase{"tn5250 other port and table",
                  [](TConnSettings& s) {
                      s.SelectType("TN5250");
                      s.Tn5250.Address = "host1";
                      s.Tn5250.Port = "992";
                      s.Tn5250.TableName = "/t/a.tbl";
                  },
                  "host1;PORT=992;TBL=/t/a.tbl", "TN5250"},
        BuildCase{"port 023 is not exactly 23 and is written",
                  [](TConnSettings& s) {
                      s.SelectType("TN3270");
                      s.Tn3270.Address = "host1";
                      s.Tn3270.Port = "023";
                  },
                  "host1;PORT=023", "TN3270"},
        BuildCase{"virtual with empty template stores empty string",
                  [](TConnSettings& s) { s.SelectType("Virtual"); }, "", "Virtual"},
        BuildCase{"virtual template as typed",
                  [](TConnSettings& s) {
                      s.SelectType("Virtual");
                      s.VirtualTemplate = "/tmp/sign on;1.txt";
                  },
                  "/tmp/sign on;1.txt", "Virtual"},
        BuildCase{"other registry type stores empty string",
                  [](TConnSettings& s) { s.SelectType("Serial"); }, "", "Serial"},
        BuildCase{"http around tn3270",
                  [](TConnSettings& s) {
                      SetHttpParams(s, "p");
                      s.UseHttp = true;
                      s.SelectType("TN3270");
                      s.Tn3270.Address = "host1";
                  },
                  "p?ConnString=host1&ConnType=TN3270", "HTTP"},
        BuildCase{"http around tn5250 with items",
                  [](TConnSettings& s) {
                      SetHttpParams(s, "url=http://h:8080/x;a=b");
                      s.UseHttp = true;
                      s.SelectType("TN5250");
                      s.Tn5250 = {"host1", "992", "IBM-5211-2", "", "/t/b.tbl"};
                  },
                  "url=http://h:8080/x;a=b?ConnString=host1;PORT=992;TRM=IBM-5211-2;TBL=/t/b.tbl"
                  "&ConnType=TN5250",
                  "HTTP"},
        BuildCase{"http around virtual",
                  [](TConnSettings& s) {
                      SetHttpParams(s, "");
                      s.UseHttp = true;
                      s.SelectType("Virtual");
                      s.VirtualTemplate = "/t/v.txt";
                  },
                  "?ConnString=/t/v.txt&ConnType=Virtual", "HTTP"},
        BuildCase{"http around other type frames an empty string",
                  [](TConnSettings& s) {
                      SetHttpParams(s, "p");
                      s.UseHttp = true;
                      s.SelectType("Serial");
                  },
                  "p?ConnString=&ConnType=Serial", "HTTP"}));

// A type list whose names differ in case from the built-in ones.
TEST(ConnSettingsPage, TypeNameInOtherCaseShowsAndBuildsItsPage) {
    TConnType lower{"tn3270", "x.so", 0};
    TConnParm conn{"a", "host1;PORT=2023", "tn3270"};
    TConnSettings s;
    s.AddType(lower.Name, &lower);
    s.LoadConnection(&conn);
    EXPECT_EQ(s.Page(), TConnPage::TN3270);
    EXPECT_EQ(s.Tn3270.Port, "2023");
    EXPECT_EQ(s.HelpTopic(), "d_3270conn");
    ASSERT_TRUE(s.Ok().Stored);
    EXPECT_EQ(conn.Param, "host1;PORT=2023");
    EXPECT_EQ(conn.ConnType, "tn3270");
}

TEST(ConnSettingsPage, UnknownOrNoTypeShowsTheEmptyPage) {
    TConnParm conn{"a", "", "Serial"};
    TConnSettings s;
    Fill(s, conn);
    EXPECT_EQ(s.Page(), TConnPage::Vacia);
    EXPECT_EQ(s.HelpTopic(), "");
    conn.ConnType = "HTTP"; // absent from the list: no type until the frame names one
    s.LoadConnection(&conn);
    EXPECT_EQ(s.TypeIndex, -1);
    EXPECT_EQ(s.Page(), TConnPage::Vacia);
}

TEST(ConnSettingsPage, ClearFieldsRestoresDefaultsButKeepsHttpParams) {
    TConnParm conn{"a", "p?ConnString=h;PORT=1;DEV=X&ConnType=TN3270", "HTTP"};
    TConnSettings s;
    Fill(s, conn);
    EXPECT_EQ(s.HttpParams(), "p");
    s.ClearFields();
    EXPECT_EQ(s.ChosenType(), "Virtual");
    EXPECT_FALSE(s.UseHttp);
    EXPECT_EQ(s.Tn3270.Port, "23");
    EXPECT_EQ(s.Tn3270.LUName, "");
    EXPECT_EQ(s.Tn3270.TermType, "IBM-3178-2");
    EXPECT_EQ(s.Tn5250.TermType, "IBM-3179-2");
    EXPECT_EQ(s.Tn5250.TableName, "Default");
    EXPECT_EQ(s.HttpParams(), "p");
}

struct ParseCase {
    const char* type;
    const char* param;
    std::function<void(const TConnSettings&)> check;
};

TEST(ConnSettingsParse, StoredStringsFillTheFields) {
    const ParseCase cases[] = {
        {"TN3270", "host1;trm=ibm-3179-2",
         [](const TConnSettings& s) { EXPECT_EQ(s.Tn3270.TermType, "IBM-3179-2"); }},
        {"TN3270", "host1;TRM=IBM-9999",
         [](const TConnSettings& s) { EXPECT_EQ(s.Tn3270.TermType, "IBM-3178-2"); }},
        {"TN5250", "host1;TRM=IBM-3178-2",
         [](const TConnSettings& s) { EXPECT_EQ(s.Tn5250.TermType, "IBM-3179-2"); }},
        {"TN3270", "host1;DEV=   LU02",
         [](const TConnSettings& s) { EXPECT_EQ(s.Tn3270.LUName, "LU02"); }},
        {"TN3270", "host1;XYZ=1;port=99;PORT=100;tbl=a.tbl",
         [](const TConnSettings& s) {
             EXPECT_EQ(s.Tn3270.Address, "host1");
             EXPECT_EQ(s.Tn3270.Port, "100");
             EXPECT_EQ(s.Tn3270.TableName, "a.tbl");
         }},
        {"TN5250", "host1;DEV=LU1", [](const TConnSettings& s) { EXPECT_EQ(s.Tn5250.LUName, ""); }},
        {"tn5250", "host1;PORT=8023",
         [](const TConnSettings& s) {
             EXPECT_EQ(s.Page(), TConnPage::TN5250);
             EXPECT_EQ(s.Tn5250.Port, "8023");
         }},
        {"HTTP", "p?ConnMod=/opt/PlTn5250.so&ConnString=host9;TRM=IBM-5211-2",
         [](const TConnSettings& s) {
             EXPECT_EQ(s.ChosenType(), "TN5250");
             EXPECT_EQ(s.Tn5250.Address, "host9");
             EXPECT_EQ(s.Tn5250.TermType, "IBM-5211-2");
             EXPECT_TRUE(s.UseHttp);
         }},
        {"HTTP", "p?ConnString=/t/x.txt&connmod=plvirtual.so",
         [](const TConnSettings& s) {
             EXPECT_EQ(s.ChosenType(), "Virtual");
             EXPECT_EQ(s.VirtualTemplate, "/t/x.txt");
         }},
        {"HTTP", "p?ConnString=h&ConnMod=other.so&ConnType=TN3270",
         [](const TConnSettings& s) { EXPECT_EQ(s.TypeIndex, -1); }},
        {"HTTP", "ConnString=h2&ConnType=tn3270",
         [](const TConnSettings& s) {
             EXPECT_EQ(s.HttpParams(), "ConnString=h2&ConnType=tn3270");
             EXPECT_EQ(s.ChosenType(), "TN3270");
             EXPECT_EQ(s.Tn3270.Address, "h2");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.param);
        TConnParm conn{"n", c.param, c.type};
        TConnSettings s;
        Fill(s, conn);
        c.check(s);
    }
}

struct CheckCase {
    const char* what;
    std::function<void(TConnSettings&)> edit;
    TConnField invalid;
};

TEST(ConnSettingsChecks, FirstFailingCheckNamesItsFieldAndLeavesTheRecord) {
    auto tn3270 = [](TConnSettings& s) {
        s.SelectType("TN3270");
        s.Tn3270.Address = "host1";
    };
    const CheckCase cases[] = {
        {"empty name before everything",
         [](TConnSettings& s) {
             s.Name = " ";
             s.TypeIndex = -1;
         },
         TConnField::Name},
        {"no type", [](TConnSettings& s) { s.TypeIndex = -1; }, TConnField::ConnType},
        {"no type also with http",
         [](TConnSettings& s) {
             s.UseHttp = true;
             s.TypeIndex = -1;
         },
         TConnField::ConnType},
        {"blank address before bad port",
         [](TConnSettings& s) {
             s.SelectType("TN3270");
             s.Tn3270.Address = "  ";
             s.Tn3270.Port = "x";
         },
         TConnField::Tn3270Address},
        {"leading blank in port",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.Port = " 23";
         },
         TConnField::Tn3270Port},
        {"letter in port",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.Port = "2x3";
         },
         TConnField::Tn3270Port},
        {"empty port",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.Port = "";
         },
         TConnField::Tn3270Port},
        {"port zero",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.Port = "000";
         },
         TConnField::Tn3270Port},
        {"port above 65535",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.Port = "65536";
         },
         TConnField::Tn3270Port},
        {"port too long to fit any integer",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.Port = "99999999999999999999999";
         },
         TConnField::Tn3270Port},
        {"semicolon in address",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.Address = "h;PORT=1";
         },
         TConnField::Tn3270Address},
        {"semicolon in lu name",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.LUName = "A;TBL=X";
         },
         TConnField::Tn3270LUName},
        {"semicolon in table path",
         [&](TConnSettings& s) {
             tn3270(s);
             s.Tn3270.TableName = "/t/a;b.tbl";
         },
         TConnField::Tn3270TableName},
        {"tn5250 empty address", [](TConnSettings& s) { s.SelectType("TN5250"); },
         TConnField::Tn5250Address},
        {"tn5250 bad port",
         [](TConnSettings& s) {
             s.SelectType("TN5250");
             s.Tn5250.Address = "h";
             s.Tn5250.Port = "-1";
         },
         TConnField::Tn5250Port},
        {"ampersand in table path inside http frame",
         [](TConnSettings& s) {
             s.UseHttp = true;
             s.SelectType("TN5250");
             s.Tn5250.Address = "h";
             s.Tn5250.TableName = "/t/a&b.tbl";
         },
         TConnField::Tn5250TableName},
        {"ampersand in address inside http frame",
         [](TConnSettings& s) {
             s.UseHttp = true;
             s.SelectType("TN3270");
             s.Tn3270.Address = "h&ConnType=x";
         },
         TConnField::Tn3270Address},
        {"ampersand in template inside http frame",
         [](TConnSettings& s) {
             s.UseHttp = true;
             s.VirtualTemplate = "/t/a&b.txt";
         },
         TConnField::VirtualTemplate},
        {"question mark in http parameters",
         [](TConnSettings& s) {
             SetHttpParams(s, "a?b");
             s.UseHttp = true;
         },
         TConnField::HttpParams},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TConnParm conn{"old", "oldparam", "Virtual"};
        TConnSettings s;
        Fill(s, conn);
        s.Name = "new";
        c.edit(s);
        auto r = s.Ok();
        EXPECT_FALSE(r.Stored);
        EXPECT_EQ(r.Invalid, c.invalid);
        EXPECT_EQ(conn.Name, "old");
        EXPECT_EQ(conn.Param, "oldparam");
        EXPECT_EQ(conn.ConnType, "Virtual");
    }
}

TEST(ConnSettingsChecks, HighestPortAndAmpersandOutsideHttpAreAccepted) {
    TConnParm conn;
    TConnSettings s;
    Fill(s, conn);
    s.Name = "n";
    s.SelectType("TN3270");
    s.Tn3270.Address = "a&b";
    s.Tn3270.Port = "65535";
    ASSERT_TRUE(s.Ok().Stored);
    EXPECT_EQ(conn.Param, "a&b;PORT=65535");
}

TEST(ConnSettingsChecks, OkWithoutBoundConnectionDoesNothing) {
    TConnSettings s;
    s.LoadConnection(nullptr);
    auto r = s.Ok();
    EXPECT_FALSE(r.Stored);
    EXPECT_EQ(r.Invalid, TConnField::None);
}

// ParamDialog and the module that exports it.
std::string gSeen;
uint16_t FillWholeBuffer(intptr_t, char* buffer, int32_t size) {
    gSeen.assign(buffer, strnlen(buffer, size_t(size)));
    std::memset(buffer, 'x', size_t(size)); // no terminator left
    return 1;
}
uint16_t Decline(intptr_t, char* buffer, int32_t) {
    buffer[0] = 'z';
    return 0;
}

TEST(ConnSettingsHttp, ParamDialogTextIsReadWithinTheBuffer) {
    TConnSettings s;
    SetHttpParams(s, std::string(600, 'a')); // the setter itself is truncated to 511
    EXPECT_EQ(s.HttpParams(), std::string(511, 'a'));
    ASSERT_TRUE(s.CallParamDialog(&FillWholeBuffer, 0));
    EXPECT_EQ(gSeen, std::string(511, 'a'));
    EXPECT_EQ(s.HttpParams(), std::string(512, 'x'));
}

TEST(ConnSettingsHttp, DeclinedDialogChangesNothing) {
    TConnSettings s;
    SetHttpParams(s, "p");
    EXPECT_FALSE(s.CallParamDialog(&Decline, 0));
    EXPECT_EQ(s.HttpParams(), "p");
}

struct FakeModule {
    std::vector<std::string> loads;
    int unloads = 0;
    bool loadBare = false;
    bool hasSymbol = true;
    THttpModuleAccess Access() {
        THttpModuleAccess a;
        a.ModulePath = [] { return std::string("/opt/ctl/PLHTTP.so"); };
        a.Load = [this](const std::string& p) -> void* {
            loads.push_back(p);
            return (loadBare && p == "PLHTTP.so") ? this : nullptr;
        };
        a.Symbol = [this](void*, const char* name) -> void* {
            return hasSymbol && std::string(name) == "ParamDialog"
                       ? reinterpret_cast<void*>(&SetParams)
                       : nullptr;
        };
        a.Unload = [this](void*) { ++unloads; };
        return a;
    }
};

TEST(ConnSettingsHttp, ModuleIsLoadedByPathThenByNameAndAlwaysReleased) {
    TConnSettings s;
    SetHttpParams(s, "old");
    FakeModule missing;
    EXPECT_EQ(s.EditHttpParams(0, missing.Access()), THttpParamsResult::NotInstalled);
    EXPECT_EQ(missing.loads, (std::vector<std::string>{"/opt/ctl/PLHTTP.so", "PLHTTP.so"}));
    EXPECT_STREQ(HttpParamsMessage(THttpParamsResult::NotInstalled), "HTTP Library not installed.");

    FakeModule old;
    old.loadBare = true;
    old.hasSymbol = false;
    EXPECT_EQ(s.EditHttpParams(0, old.Access()), THttpParamsResult::WrongVersion);
    EXPECT_EQ(old.unloads, 1);
    EXPECT_STREQ(HttpParamsMessage(THttpParamsResult::WrongVersion),
                 "Incorrect version of HTTP library.");
    EXPECT_EQ(s.HttpParams(), "old");

    FakeModule good;
    good.loadBare = true;
    gNextParams = "new";
    EXPECT_EQ(s.EditHttpParams(0, good.Access()), THttpParamsResult::Accepted);
    EXPECT_EQ(good.unloads, 1);
    EXPECT_EQ(s.HttpParams(), "new");
}

} // namespace
