// The connection types and the stored connections, and the byte format of a
// stored connection: three typed strings, Name, Param, ConnType.
// User-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "uMemoryStream.h"

// One connection type: the engine module that serves it.
struct TConnType {
    std::string Name;   // "Virtual", "TN3270", "TN5250", "HTTP", ...
    std::string Module; // path or file name of the engine module
    int32_t Index = 0;  // position in the form's type list when added
};

// One stored connection.
struct TConnParm {
    std::string Name;     // as the user typed it
    std::string Param;    // the connection string handed to the module's Connect
    std::string ConnType; // a TConnType Name, or "HTTP"

    // One record at the stream's position; the stream stands after it.
    void SaveToStream(TMemoryStream& stream) const;
    // One record from the stream's position; the stream stands after it. A
    // record that does not read whole raises EReadError and the stream
    // stays where it was.
    void LoadFromStream(TMemoryStream& stream);
};

using TConnList = std::vector<std::unique_ptr<TConnParm>>;

// A run of records (the registry value "Connections"), and back. Reading
// keeps the records read whole before a bad one and stops there.
std::vector<uint8_t> SaveConnections(const TConnList& list);
TConnList LoadConnections(std::span<const uint8_t> bytes);
