#pragma once
// A grid of text cells addressed as (column, row) with a fixed first row that
// stays in place while the other rows scroll. Every cell, the fixed row
// included, is drawn by the owner through OnDrawCell; the grid itself draws
// only the lines after each column and each row.

#include <QHeaderView>
#include <QRect>
#include <QString>
#include <QTableWidget>

#include <functional>

class QPainter;

class TTextGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TTextGrid(QWidget* parent = nullptr);

    // Draws the cell at (col, row) inside rect, which leaves out the lines.
    std::function<void(QPainter& painter, int col, int row, const QRect& rect)> OnDrawCell;

    // Counts include the fixed row.
    int ColCount() const { return columnCount(); }
    int RowCount() const { return rowCount() + 1; }
    void SetColCount(int count) { setColumnCount(count); }
    void SetRowCount(int count) { setRowCount(count - 1); }

    // Widths and heights leave out the lines.
    int ColWidth(int col) const { return columnWidth(col) - LineWidth; }
    void SetColWidth(int col, int width) { setColumnWidth(col, width + LineWidth); }
    int DefaultRowHeight() const { return verticalHeader()->defaultSectionSize() - LineWidth; }
    void SetDefaultRowHeight(int height);

    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    // The width and height of all columns and rows with their lines.
    int GridWidth() const;
    int GridHeight() const;

    // The area inside the border and beside the vertical scroll bar, which
    // shows while the rows do not fit.
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int width);
    void SetClientHeight(int height);

    static constexpr int LineWidth = 1;

private:
    int ScrollBarWidth() const;
};

// Fills a cell with the background of its row, button face for the fixed row
// and window colour for the others, and draws its text on one line inside
// the cell inset by 2 pixels, vertically centred, in the painter's font and
// the window-text colour.
void DrawCellText(QPainter& painter, const QRect& rect, const QString& text, bool fixedRow,
                  Qt::Alignment horizontal);
