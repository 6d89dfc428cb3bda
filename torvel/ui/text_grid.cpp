#include "text_grid.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// The grid's lines after the right and bottom edges of a cell.
void DrawLines(QPainter& painter, const QRect& section, const QColor& color) {
    painter.fillRect(section.right(), section.top(), TTextGrid::LineWidth, section.height(), color);
    painter.fillRect(section.left(), section.bottom(), section.width(), TTextGrid::LineWidth,
                     color);
}

// The colour the table draws its own lines in.
QColor LineColor(const QTableWidget& grid) {
    QStyleOptionViewItem option;
    option.initFrom(&grid);
    return QColor::fromRgba(
        static_cast<QRgb>(grid.style()->styleHint(QStyle::SH_Table_GridLineColor, &option, &grid)));
}

// The fixed row, drawn by the grid's owner.
class TFixedRow : public QHeaderView {
public:
    explicit TFixedRow(TTextGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!rect.isValid())
            return;
        painter->save();
        if (grid_->OnDrawCell)
            grid_->OnDrawCell(*painter, logicalIndex, 0,
                              rect.adjusted(0, 0, -TTextGrid::LineWidth, -TTextGrid::LineWidth));
        DrawLines(*painter, rect, LineColor(*grid_));
        painter->restore();
    }

private:
    TTextGrid* grid_;
};

// The scrolling rows, drawn by the grid's owner.
class TCellPainter : public QStyledItemDelegate {
public:
    explicit TCellPainter(TTextGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!grid_->OnDrawCell)
            return;
        painter->save();
        grid_->OnDrawCell(*painter, index.column(), index.row() + 1, option.rect);
        painter->restore();
    }

private:
    TTextGrid* grid_;
};

} // namespace

TTextGrid::TTextGrid(QWidget* parent) : QTableWidget(parent) {
    setHorizontalHeader(new TFixedRow(this));
    verticalHeader()->hide();
    setItemDelegate(new TCellPainter(this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setCornerButtonEnabled(false);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setMinimumSectionSize(LineWidth);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(false);
    }
    horizontalHeader()->setSectionsClickable(false);
}

void TTextGrid::SetDefaultRowHeight(int height) {
    verticalHeader()->setDefaultSectionSize(height + LineWidth);
    horizontalHeader()->setFixedHeight(height + LineWidth);
}

QString TTextGrid::Cell(int col, int row) const {
    const QTableWidgetItem* cell = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    return cell ? cell->text() : QString();
}

void TTextGrid::SetCell(int col, int row, const QString& text) {
    if (row == 0) {
        setHorizontalHeaderItem(col, new QTableWidgetItem(text));
        return;
    }
    if (QTableWidgetItem* cell = item(row - 1, col))
        cell->setText(text);
    else
        setItem(row - 1, col, new QTableWidgetItem(text));
}

int TTextGrid::GridWidth() const {
    int width = 0;
    for (int col = 0; col < ColCount(); ++col)
        width += ColWidth(col) + LineWidth;
    return width;
}

int TTextGrid::GridHeight() const {
    return RowCount() * (DefaultRowHeight() + LineWidth);
}

int TTextGrid::ScrollBarWidth() const {
    return GridHeight() > height() - 2 * frameWidth() ? verticalScrollBar()->sizeHint().width() : 0;
}

int TTextGrid::ClientWidth() const {
    return width() - 2 * frameWidth() - ScrollBarWidth();
}

int TTextGrid::ClientHeight() const {
    return height() - 2 * frameWidth();
}

void TTextGrid::SetClientWidth(int width) {
    resize(width + 2 * frameWidth() + ScrollBarWidth(), height());
}

void TTextGrid::SetClientHeight(int height) {
    resize(width(), height + 2 * frameWidth());
}

void DrawCellText(QPainter& painter, const QRect& rect, const QString& text, bool fixedRow,
                  Qt::Alignment horizontal) {
    const QPalette palette = QApplication::palette();
    painter.fillRect(rect, palette.color(fixedRow ? QPalette::Button : QPalette::Base));
    painter.setPen(palette.color(QPalette::WindowText));
    painter.drawText(rect.adjusted(2, 2, -2, -2),
                     horizontal | Qt::AlignVCenter | Qt::TextSingleLine, text);
}
