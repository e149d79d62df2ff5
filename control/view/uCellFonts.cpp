#include "uCellFonts.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

int StyleIndex(TFontStyles s) {
    return (s.Contains(fsBold) ? 1 : 0) | (s.Contains(fsItalic) ? 2 : 0) |
           (s.Contains(fsUnderline) ? 4 : 0) | (s.Contains(fsStrikeOut) ? 8 : 0);
}

} // namespace

QFont FittedCellFont(const QString& family, int pixelHeight, int pixelWidth) {
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(std::max(1, pixelHeight));
    if (pixelWidth > 0) {
        const qreal average = QFontMetricsF(font).averageCharWidth();
        if (average > 0) {
            const int stretch = static_cast<int>(std::lround(100.0 * pixelWidth / average));
            font.setStretch(std::clamp(stretch, 1, 4000));
        }
    }
    return font;
}

void TCellFonts::Reset(const QFont& font, int colWidth, int rowHeight, int textTop) {
    font_ = font;
    colWidth_ = std::max(1, colWidth);
    rowHeight_ = std::max(1, rowHeight);
    textTop_ = textTop;
    for (auto& face : faces_)
        face.reset();
}

const TCellFonts::TFace& TCellFonts::Face(TFontStyles style) {
    std::unique_ptr<TFace>& slot = faces_[static_cast<size_t>(StyleIndex(style))];
    if (slot) return *slot;
    auto face = std::make_unique<TFace>();
    face->Font = font_;
    face->Font.setBold(style.Contains(fsBold));
    face->Font.setItalic(style.Contains(fsItalic));
    face->Font.setUnderline(style.Contains(fsUnderline));
    face->Font.setStrikeOut(style.Contains(fsStrikeOut));
    face->Underline = style.Contains(fsUnderline);
    face->StrikeOut = style.Contains(fsStrikeOut);
    face->Raw = QRawFont::fromFont(face->Font);
    face->Baseline = textTop_ + static_cast<int>(std::lround(QFontMetricsF(face->Font).ascent()));
    if (face->Raw.isValid()) {
        // The cell seen from the glyph's origin on the baseline.
        const QRectF cell(0, -face->Baseline, colWidth_, rowHeight_);
        for (int code = 0x20; code <= 0xFF; ++code) {
            const QChar c(static_cast<char16_t>(code));
            quint32 glyph = 0;
            int count = 1;
            if (!face->Raw.glyphIndexesForChars(&c, 1, &glyph, &count) || count != 1) continue;
            face->Glyphs[static_cast<size_t>(code)] = glyph;
            const QRectF ink = face->Raw.boundingRect(glyph);
            constexpr qreal kSlack = 0.05; // antialiasing's faint edge
            face->Spills[static_cast<size_t>(code)] =
                !ink.isEmpty() &&
                (ink.left() < cell.left() - kSlack || ink.right() > cell.right() + kSlack ||
                 ink.top() < cell.top() - kSlack || ink.bottom() > cell.bottom() + kSlack);
        }
    }
    slot = std::move(face);
    return *slot;
}
