// The cell font in each font style, ready for drawing runs of 8-bit codes at
// fixed advances: one raw font per style with the glyph of every code, and
// which glyphs reach out of their cell. Made when a style is first drawn
// after the font or the cell changed. User-interface thread.
#pragma once

#include <QFont>
#include <QRawFont>

#include <array>
#include <memory>

#include "uPleStyle.h"

class TCellFonts {
public:
    // One font style of the cell font.
    struct TFace {
        QFont Font;
        QRawFont Raw;
        // From the cell's top edge to the baseline, in pixels.
        int Baseline = 0;
        std::array<quint32, 256> Glyphs{};
        // The code's glyph has ink outside its cell: a run holding it is clipped.
        std::array<bool, 256> Spills{};
        bool Underline = false;
        bool StrikeOut = false;
    };

    // A new cell font and cell: every style is made again when next asked for.
    void Reset(const QFont& font, int colWidth, int rowHeight, int textTop);
    const TFace& Face(TFontStyles style);

private:
    QFont font_;
    int colWidth_ = 1;
    int rowHeight_ = 1;
    int textTop_ = 0;
    std::array<std::unique_ptr<TFace>, 16> faces_;
};

// The cell font fitted to a cell: a pixel height and, when the width is
// above 0, stretched so that its average advance is that many pixels, as a
// font asked for by height and width is.
QFont FittedCellFont(const QString& family, int pixelHeight, int pixelWidth);
