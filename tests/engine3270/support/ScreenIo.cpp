#include "ScreenIo.h"

#include <sstream>

namespace screenio {

std::optional<THostFields> Fetch(int32_t handle, int32_t bufSize) {
    std::vector<uint8_t> buffer(static_cast<size_t>(bufSize));
    const int32_t n = Engine3270().GetScreen(handle, buffer.data(), bufSize);
    if (n <= 0 || n > bufSize) return std::nullopt;
    TMemoryStream stream(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
    THostFields list;
    try {
        list.LoadFromStream(stream);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return list;
}

const THostBasicField* FieldAt(const THostFields& list, int row, int col) {
    for (auto& f : list.Fields)
        if (f->Row == row && f->Col == col) return f.get();
    return nullptr;
}

const THostBasicField* FieldOver(const THostFields& list, int row, int col) {
    for (auto& f : list.Fields)
        if (f->Row == row && f->Col <= col && col < f->Col + f->Len) return f.get();
    return nullptr;
}

std::string Describe(const THostFields& list) {
    std::ostringstream out;
    out << "CurPos " << list.CurPos << ", " << list.Fields.size() << " fields\n";
    for (auto& f : list.Fields)
        out << "  row " << int(f->Row) << " col " << int(f->Col) << " pos " << f->Pos << " len "
            << f->Len << " attr 0x" << std::hex << f->GetAttr().ToInt() << " eab 0x"
            << int(static_cast<uint8_t>(f->Eab)) << std::dec << " \"" << f->Data << "\"\n";
    return out.str();
}

std::vector<uint8_t> InputStream(int cursor, const std::vector<TInput>& fields) {
    THostFields list;
    list.CurPos = static_cast<int16_t>(cursor + 1);
    for (const auto& in : fields) {
        auto f = std::make_unique<THostBasicField>();
        f->Pos = static_cast<int16_t>(in.pos);
        f->Row = static_cast<uint8_t>((in.pos - 1) / 80 + 1);
        f->Col = static_cast<uint8_t>((in.pos - 1) % 80 + 1);
        f->Len = static_cast<int16_t>(in.len);
        f->Data = in.data;
        f->SetAttr(in.modified ? TFieldAttribute{attUnProtected, attModified}
                               : TFieldAttribute{attUnProtected, attNonModified});
        list.Add(std::move(f));
    }
    TMemoryStream stream;
    list.SaveToStream(stream);
    return {stream.data(), stream.data() + stream.size()};
}

int32_t Send(int32_t handle, const char* aid, int cursor, const std::vector<TInput>& fields) {
    const auto stream = InputStream(cursor, fields);
    return Engine3270().SendToScreen(handle, aid, stream.data(),
                                     static_cast<int32_t>(stream.size()));
}

bool WaitForScreen(int32_t handle, TEventRecorder& events,
                   const std::function<bool(const THostFields&)>& ready, THostFields& screen,
                   std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // Counted before the fetch, so that a change during it is not missed.
        const int seen = events.Count(PL_SCREEN_CHANGED);
        if (auto list = Fetch(handle)) {
            screen = std::move(*list);
            if (ready(screen)) return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !events.WaitFor(PL_SCREEN_CHANGED, seen + 1, left)) return false;
    }
}

} // namespace screenio
