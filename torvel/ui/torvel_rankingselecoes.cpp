#include "torvel_rankingselecoes.h"

#include "controls.h"
#include "design_font.h"
#include "hand_cursor.h"
#include "torvel_application.h"

#include <QPainter>

namespace {

constexpr int DesignedHeight = 286;
constexpr int RowHeight = 19;
constexpr int Margin = 8;

} // namespace

TformRanking::TformRanking(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setupUi(this);
    formRanking = this;
    FormCreate();
}

TformRanking::~TformRanking() {
    if (formRanking == this)
        formRanking = nullptr;
}

void TformRanking::FormCreate() {
    setWindowTitle(QApplication::applicationName());
    setFixedSize(341, DesignedHeight);
    setFont(DesignFont("MS Sans Serif", 11));
    lTitulo->setFont(DesignFont("MS Sans Serif", 13, true));
    bOk->setCursor(HandCursor());

    Grid->SetColCount(2);
    Grid->SetRowCount(33);
    Grid->SetDefaultRowHeight(RowHeight);
    Grid->SetColWidth(0, 59);
    Grid->SetColWidth(1, 231);
    Grid->SetCell(0, 0, "Posição");
    Grid->OnDrawCell = [this](QPainter& painter, int col, int row, const QRect& rect) {
        GridDrawCell(painter, col, row, rect);
    };

    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TformRanking::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RunHandler([this] { FormShow(); });
}

void TformRanking::FormShow() {
    AutoSize(lTitulo);
    Grid->SetClientWidth(Grid->GridWidth());
    const QRect grid = Grid->geometry();
    bOk->move(grid.x() + grid.width() - bOk->width(), bOk->y());
    setFixedSize(bOk->x() + bOk->width() + Margin, DesignedHeight);
}

void TformRanking::GridDrawCell(QPainter& painter, int col, int row, const QRect& rect) const {
    painter.setFont(Grid->font());
    DrawCellText(painter, rect, Grid->Cell(col, row), row == 0,
                 col == 1 ? Qt::AlignHCenter : Qt::AlignLeft);
}
