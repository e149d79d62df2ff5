// store-connection: makes a connection the first of the control's stored
// connections, the one the emulator form makes current at start-up. A stored
// connection of the same name is replaced, so running it again (a new port
// for the same demo) never piles up copies; every other connection stays,
// in its order. The registry is the control's own (CORVALEN_REGISTRY_DIR
// chooses its folder), written through the control's settings code.
//
//   store-connection NAME TYPE PARAM
//   store-connection --list      the stored connections, one per line:
//                                name, type and parameter, tab-separated
//
// Runs on the main thread of its own process.
#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "uEmuSettings.h"

namespace {

int Fail(const std::string& text) {
    std::cerr << "store-connection: " << text << "\n";
    return 1;
}

} // namespace

int List() {
    try {
        for (const auto& c : ReadConnections())
            std::cout << c->Name << '\t' << c->ConnType << '\t' << c->Param << '\n';
        return 0;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--list") return List();
    if (argc != 4) {
        std::cerr << "usage: store-connection NAME TYPE PARAM | store-connection --list\n";
        return 2;
    }
    const std::string name = argv[1], type = argv[2], param = argv[3];
    if (name.empty()) return Fail("the connection needs a name");
    try {
        // The form finds a connection's type by its exact name; one it would
        // not find is refused here rather than at the user's Connect.
        const TConnTypeList types = ReadConnTypes();
        const bool known =
            std::any_of(types.begin(), types.end(), [&](const auto& t) { return t->Name == type; });
        if (!known) {
            std::string names;
            for (const auto& t : types)
                names += (names.empty() ? "" : ", ") + t->Name;
            return Fail("unknown connection type \"" + type + "\" (known: " + names + ")");
        }

        TConnList list = ReadConnections();
        std::erase_if(list, [&](const auto& c) { return c->Name == name; });
        list.insert(list.begin(), std::make_unique<TConnParm>(TConnParm{name, param, type}));
        if (!WriteConnections(list)) return Fail("the stored connections could not be written");
        std::cout << "stored connection \"" << name << "\" (" << type << ", " << param
                  << ") first of " << list.size() << "\n";
        return 0;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
