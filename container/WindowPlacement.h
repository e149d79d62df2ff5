// Where the container's window opens, and what it keeps of its last run in a
// registry key of its own. Plain C++; user-interface thread.
#pragma once

#include <optional>
#include <vector>

// The container's own key (beside the control's), under HKEY_CURRENT_USER.
inline constexpr const char* kContainerKey = "\\SOFTWARE\\Keldware\\Pallisor\\Corvalen Container";

// A size at which the host's text reads comfortably on a 1280 x 1024 display:
// the view's rows are 22 pixels high, its capitals about 11.
inline constexpr int kDefaultWindowWidth = 1000;
inline constexpr int kDefaultWindowHeight = 680;

// A rectangle in screen pixels.
struct TScreenArea {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TScreenArea&) const = default;
};

// The window's rectangle when not maximized, and whether it was maximized.
struct TWindowPlacement {
    TScreenArea Area;
    bool Maximized = false;
    bool operator==(const TWindowPlacement&) const = default;
};

// The stored placement when its rectangle still lies wholly within the
// available area of one of the screens; otherwise the default size, cut to
// the first screen's area (the primary one) and centred on it.
TWindowPlacement InitialPlacement(const std::optional<TWindowPlacement>& stored,
                                  const std::vector<TScreenArea>& screens);

// The placement of the last run; none when it is missing or incomplete.
std::optional<TWindowPlacement> LoadWindowPlacement();
// False when it could not be stored.
bool SaveWindowPlacement(const TWindowPlacement& placement);
