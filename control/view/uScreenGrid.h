// The character-cell view of a host screen: a Qt widget over TScreenCells
// that fits a font to its cells, paints them in the colours of a display
// style, lets the user drag a rectangular selection, copies it and prints
// the screen. It knows nothing of engines, keys or input: the host emulator
// view derives from it. User-interface thread.
//
// (Public interface fixed for the view that derives from it; the painting,
// fitting, selection and printing logic lives in plain C++ beside it.)
#pragma once

#include <QWidget>

#include "uPleStyle.h"
#include "uScreenCells.h"

class QPainter;
class QPrinter;

class TScreenGrid : public QWidget, public THostViewportOwner {
public:
    explicit TScreenGrid(QWidget* parent = nullptr);
    ~TScreenGrid() override;

    TPleStyleDetail StyleDetail;
    THostViewport Viewport;
    TScreenCells Cells;

    TPleStyle Style() const;
    void SetStyle(TPleStyle style); // loads the preset, repaints
    bool FontAutoSize() const;
    void SetFontAutoSize(bool on);
    bool SelectionEnabled() const;
    void SetSelectionEnabled(bool on);
    int ColWidth() const;
    int RowHeight() const;
    int LeftMargin() const;
    int TopMargin() const;
    // Plain setters: the next fit or resize works from the new margins.
    void SetLeftMargin(int margin);
    void SetTopMargin(int margin);

    // The field list the cells come from: the grid's own unless a
    // descendant supplies the live screen's.
    virtual THostFields* GetFields();
    virtual THostFields* GetInputFields();
    // The field at an index of GetFields(), or null.
    THostBasicField* GetField(int index);
    THostBasicField* FieldAtCell(int col, int row);

    // Rebuilds the cells from GetFields() and repaints everything.
    void LoadScreen();
    // Every cell empty and in no field; repaints.
    void ClearScreen();
    // A changed cell, to be painted by the next PaintCells; clears the selection.
    void InvalidateCell(int col, int row);
    // Paints the cells invalidated since the last paint.
    void PaintCells();

    // The 0-based screen cell under a pixel, and a viewport cell's rectangle.
    QPoint PointToCell(int x, int y) const;
    QRect CellRect(int viewportCol, int viewportRow) const;

    void ClearSelection();
    // The selection as text, CR LF after every row; cell (0, 0) when none.
    // A hidden field's cells give blanks, as they are painted.
    std::string SelectionText();
    void CopySelection();
    virtual void PasteText() {}
    // Prints every cell of the screen on the printer (tests print to PDF).
    void PrintScreen(QPrinter& printer);

    // THostViewportOwner
    void ViewportChanged() override;

protected:
    // Hooks for the view: around each paint of cells (the caret), a click
    // on a cell, and placing the caret after the cell size changed.
    virtual void BeforePaintCells() {}
    virtual void AfterPaintCells() {}
    virtual bool CellClick(int col, int row);
    virtual void UpdateCaret() {}

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override; // font changes refit the cells

private:
    // Fits the cells to the widget and the font to the cells (Force: even
    // when the font size is unchanged); Refit runs it however little changed.
    void RecalcMetrics(bool force);
    void Refit();
    // Moves the selection frame to the current corners.
    void DrawSelection();
    void PaintRuns(QPainter& painter, const QRect& area);
    void FinishPaint(QPainter& painter);

    struct TImpl;
    TImpl* impl_;
};
