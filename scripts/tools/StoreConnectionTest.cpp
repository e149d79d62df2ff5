// store-connection run as the demo runs it, against a registry of its own in
// a fresh folder; the result read back through the control's settings code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/TempDir.h"
#include "uEmuSettings.h"

namespace {

class StoreConnection : public ::testing::Test {
protected:
    void SetUp() override { setenv("CORVALEN_REGISTRY_DIR", dir_.path().c_str(), 1); }

    // The program's exit code; its output goes to a file so the test log stays clean.
    int Run(const std::vector<std::string>& args) {
        std::string command = CORVALEN_BIN_DIR "/store-connection";
        for (const auto& a : args)
            command += " '" + a + "'";
        command += " >" + dir_.file("out.txt") + " 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::vector<std::vector<std::string>> Stored() {
        std::vector<std::vector<std::string>> out;
        for (const auto& c : ReadConnections())
            out.push_back({c->Name, c->ConnType, c->Param});
        return out;
    }

    TTempDir dir_;
};

TEST_F(StoreConnection, FirstOnAnEmptyRegistry) {
    ASSERT_EQ(Run({"Demo", "TN5250", "127.0.0.1;PORT=40001"}), 0) << dir_.read("out.txt");
    EXPECT_EQ(Stored(),
              (std::vector<std::vector<std::string>>{{"Demo", "TN5250", "127.0.0.1;PORT=40001"}}));
}

TEST_F(StoreConnection, ListsTheStoredConnectionsInOrder) {
    ASSERT_EQ(Run({"Demo 3270", "TN3270", "127.0.0.1;PORT=40004"}), 0) << dir_.read("out.txt");
    ASSERT_EQ(Run({"Demo", "TN5250", "127.0.0.1;PORT=40005"}), 0) << dir_.read("out.txt");
    ASSERT_EQ(Run({"--list"}), 0);
    EXPECT_EQ(dir_.read("out.txt"), "Demo\tTN5250\t127.0.0.1;PORT=40005\n"
                                    "Demo 3270\tTN3270\t127.0.0.1;PORT=40004\n");
}

TEST_F(StoreConnection, RunningAgainReplacesTheDemoAndKeepsTheOthersInOrder) {
    TConnList list;
    list.push_back(std::make_unique<TConnParm>(TConnParm{"Main", "host1;PORT=992", "TN3270"}));
    list.push_back(std::make_unique<TConnParm>(TConnParm{"Demo", "127.0.0.1;PORT=1", "TN5250"}));
    list.push_back(std::make_unique<TConnParm>(TConnParm{"demo", "other", "Virtual"}));
    ASSERT_TRUE(WriteConnections(list));

    ASSERT_EQ(Run({"Demo", "TN5250", "127.0.0.1;PORT=40002"}), 0) << dir_.read("out.txt");
    ASSERT_EQ(Run({"Demo", "TN5250", "127.0.0.1;PORT=40003"}), 0) << dir_.read("out.txt");
    EXPECT_EQ(Stored(),
              (std::vector<std::vector<std::string>>{{"Demo", "TN5250", "127.0.0.1;PORT=40003"},
                                                     {"Main", "TN3270", "host1;PORT=992"},
                                                     {"demo", "Virtual", "other"}}));
}

TEST_F(StoreConnection, RefusesWhatTheFormCouldNotConnectWithAndStoresNothing) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        // The form matches a type by its exact name, so "tn5250" would
        // fail at Connect with "Invalid connection parameters".
        {{"Demo", "tn5250", "127.0.0.1;PORT=1"}, 1},
        {{"Demo", "TN9999", "127.0.0.1;PORT=1"}, 1},
        {{"", "TN5250", "127.0.0.1;PORT=1"}, 1},
        {{"Demo", "TN5250"}, 2},
        {{}, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), c.exitCode) << dir_.read("out.txt");
        EXPECT_TRUE(Stored().empty());
    }
}

} // namespace
