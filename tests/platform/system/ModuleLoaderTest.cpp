#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "ModuleLoader.h"

namespace {

const std::string kBinDir = CORVALEN_BIN_DIR;

TEST(ModuleLoaderTest, PathFindsItsFileWhateverTheCaseOrDllSuffix) {
    std::string error;
    TModuleHandle exact = LoadModule(kBinDir + "/log32.so", &error);
    ASSERT_NE(exact, nullptr) << error;
    for (const char* spelling : {"/LOG32.SO", "/Log32.dll", "/log32.DLL"}) {
        TModuleHandle module = LoadModule(kBinDir + spelling, &error);
        EXPECT_EQ(module, exact) << spelling << ": " << error;
        UnloadModule(module);
    }
    EXPECT_NE(ModuleSymbol(exact, "MsgLog"), nullptr);
    EXPECT_EQ(ModuleSymbol(exact, "NoSuchExport"), nullptr);
    EXPECT_EQ(ModuleSymbol(nullptr, "MsgLog"), nullptr);
    UnloadModule(exact);
}

TEST(ModuleLoaderTest, ExactSpellingWinsOverAnotherCase) {
    char pattern[] = "/tmp/corvalen-mod-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    std::filesystem::copy_file(kBinDir + "/log32.so", dir + "/Mod.so");
    std::ofstream(dir + "/mod.so") << "not a module";
    EXPECT_NE(LoadModule(dir + "/Mod.so"), nullptr);
    EXPECT_EQ(LoadModule(dir + "/mod.so"), nullptr) << "took the other spelling";
    std::filesystem::remove_all(dir);
}

TEST(ModuleLoaderTest, BareNameIsFoundBesideTheProgramWhateverTheCase) {
    // The connection types name their modules bare ("PLTN5250.dll"); the
    // system's library search alone knows neither this folder nor the case.
    std::string error;
    TModuleHandle exact = LoadModule(kBinDir + "/log32.so", &error);
    ASSERT_NE(exact, nullptr) << error;
    for (const char* spelling : {"log32.so", "LOG32.dll"}) {
        TModuleHandle module = LoadModule(spelling, &error);
        EXPECT_EQ(module, exact) << spelling << ": " << error;
        UnloadModule(module);
    }
    UnloadModule(exact);
}

TEST(ModuleLoaderTest, FailureGivesTheLoadersErrorText) {
    std::string error;
    EXPECT_EQ(LoadModule("corvalen-no-such-module.dll", &error), nullptr);
    // The library search was asked for the ".so" name.
    EXPECT_NE(error.find("corvalen-no-such-module.so"), std::string::npos) << error;
    error.clear();
    EXPECT_EQ(LoadModule(kBinDir + "/no-such-folder/x.so", &error), nullptr);
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(LoadModule("", &error), nullptr) << "an empty name loaded the program itself";
    EXPECT_FALSE(error.empty());
}

TEST(ModuleLoaderTest, ModuleOfAnAddressIsKnownByItsFullFileName) {
    TModuleHandle module = LoadModule(kBinDir + "/LOG32.so");
    ASSERT_NE(module, nullptr);
    void* function = ModuleSymbol(module, "MsgLog");
    EXPECT_EQ(ModuleFolderOf(function), kBinDir + "/");
    // The last reference is gone, but a module's threads may still run its code.
    UnloadModule(module);
    EXPECT_EQ(ModuleFileOf(function), kBinDir + "/log32.so") << "the module was unmapped";

    // The program itself, which has no name in the loader's own list.
    static const int inProgram = 0;
    EXPECT_EQ(ModuleFileOf(&inProgram), std::filesystem::canonical("/proc/self/exe").string());
    const int onStack = 0;
    EXPECT_EQ(ModuleFolderOf(&onStack), "");
    EXPECT_EQ(ModuleFileOf(nullptr), "");
}

TEST(ModuleLoaderTest, FolderOfAndJoinPathSplitAndJoinAtOneSlash) {
    const struct {
        const char *path, *folder;
    } folders[] = {
        {"/usr/lib/x.so", "/usr/lib/"}, {"/x.so", "/"}, {"x.so", ""}, {"", ""}, {"a/b/", "a/b/"}};
    for (const auto& c : folders) {
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    }
    const struct {
        const char *folder, *name, *joined;
    } joins[] = {{"/opt/bin", "log32.so", "/opt/bin/log32.so"},
                 {"/opt/bin//", "/log32.so", "/opt/bin/log32.so"},
                 {"/", "log32.so", "/log32.so"},
                 {"", "log32.so", "log32.so"},
                 {"rel", "sub/x.ini", "rel/sub/x.ini"}};
    for (const auto& c : joins) {
        EXPECT_EQ(JoinPath(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
    }
}

} // namespace
