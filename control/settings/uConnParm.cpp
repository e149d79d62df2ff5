#include "uConnParm.h"

#include "uTypedValues.h"

void TConnParm::SaveToStream(TMemoryStream& stream) const {
    // A record is three typed strings; the writer picks the short form (6)
    // up to 255 bytes and the long one (12) beyond.
    TValueWriter writer(stream);
    writer.WriteString(Name);
    writer.WriteString(Param);
    writer.WriteString(ConnType);
}

void TConnParm::LoadFromStream(TMemoryStream& stream) {
    // The reader sees only the bytes left, so no length it reads can reach
    // past them; the stream moves on only once the whole record has read.
    TValueReader reader(stream.rest());
    Name = reader.ReadString();
    Param = reader.ReadString();
    ConnType = reader.ReadString();
    stream.setPosition(stream.position() + reader.position());
}

std::vector<uint8_t> SaveConnections(const TConnList& list) {
    TMemoryStream stream;
    for (const auto& conn : list)
        conn->SaveToStream(stream);
    const auto bytes = stream.bytes();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TConnList LoadConnections(std::span<const uint8_t> bytes) {
    TConnList list;
    TMemoryStream stream(bytes);
    while (stream.position() < stream.size()) {
        auto conn = std::make_unique<TConnParm>();
        try {
            conn->LoadFromStream(stream);
        } catch (const EReadError&) {
            // A damaged record ends the list; those before it stay.
            break;
        }
        list.push_back(std::move(conn));
    }
    return list;
}
