#include "WindowPlacement.h"

#include <algorithm>
#include <exception>

#include "Registry.h"

namespace {

bool Inside(const TScreenArea& a, const TScreenArea& screen) {
    return a.Width > 0 && a.Height > 0 && a.Left >= screen.Left && a.Top >= screen.Top &&
           static_cast<long long>(a.Left) + a.Width <=
               static_cast<long long>(screen.Left) + screen.Width &&
           static_cast<long long>(a.Top) + a.Height <=
               static_cast<long long>(screen.Top) + screen.Height;
}

constexpr const char* kValues[] = {"Left", "Top", "Width", "Height"};

} // namespace

TWindowPlacement InitialPlacement(const std::optional<TWindowPlacement>& stored,
                                  const std::vector<TScreenArea>& screens) {
    if (stored && std::any_of(screens.begin(), screens.end(),
                              [&](const TScreenArea& s) { return Inside(stored->Area, s); }))
        return *stored;
    TWindowPlacement p;
    p.Area.Width = kDefaultWindowWidth;
    p.Area.Height = kDefaultWindowHeight;
    if (!screens.empty() && screens.front().Width > 0 && screens.front().Height > 0) {
        const TScreenArea& s = screens.front();
        p.Area.Width = std::min(p.Area.Width, s.Width);
        p.Area.Height = std::min(p.Area.Height, s.Height);
        p.Area.Left = s.Left + (s.Width - p.Area.Width) / 2;
        p.Area.Top = s.Top + (s.Height - p.Area.Height) / 2;
    }
    return p;
}

std::optional<TWindowPlacement> LoadWindowPlacement() {
    try {
        TRegistry reg(TRootKey::CurrentUser);
        if (!reg.OpenKeyReadOnly(kContainerKey)) return std::nullopt;
        int32_t v[4];
        for (int i = 0; i < 4; ++i) {
            if (reg.GetDataType(kValues[i]) != TRegDataType::Integer) return std::nullopt;
            v[i] = reg.ReadInteger(kValues[i]);
        }
        TWindowPlacement p{{v[0], v[1], v[2], v[3]}, false};
        if (reg.GetDataType("Maximized") == TRegDataType::Integer)
            p.Maximized = reg.ReadBool("Maximized");
        return p;
    } catch (const std::exception&) {
        return std::nullopt; // a damaged hive: the window opens as new
    }
}

bool SaveWindowPlacement(const TWindowPlacement& placement) {
    try {
        TRegistry reg(TRootKey::CurrentUser);
        if (!reg.OpenKey(kContainerKey, true)) return false;
        const TScreenArea& a = placement.Area;
        const int32_t v[4] = {a.Left, a.Top, a.Width, a.Height};
        for (int i = 0; i < 4; ++i)
            reg.WriteInteger(kValues[i], v[i]);
        reg.WriteBool("Maximized", placement.Maximized);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
