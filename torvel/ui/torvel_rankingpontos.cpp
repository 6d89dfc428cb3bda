#include "torvel_rankingpontos.h"

#include "controls.h"
#include "design_font.h"
#include "hand_cursor.h"
#include "torvel_application.h"
#include "torvel_database.h"

#include <QPainter>
#include <QSignalBlocker>

#include <iterator>

namespace {

constexpr int ColumnWidths[] = {128, 76, 76, 76, 76};
const char* const Headers[] = {"Seleção", "Pontos", "Gols a Favor", "Gols Contra", "N.º de Jogos"};
constexpr int RowHeight = 19;
constexpr int Margin = 8;

} // namespace

TformGrupos::TformGrupos(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setupUi(this);
    formGrupos = this;
    FormCreate();
}

TformGrupos::~TformGrupos() {
    if (formGrupos == this)
        formGrupos = nullptr;
}

void TformGrupos::FormCreate() {
    setWindowTitle(QApplication::applicationName());
    setFixedSize(481, 234);
    setFont(DesignFont("MS Sans Serif", 11));
    Label2->setFont(DesignFont("MS Sans Serif", 13, true));
    AutoSize(Label2);
    AutoSize(Label1);
    bOk->setCursor(HandCursor());

    Grid->SetColCount(static_cast<int>(std::size(ColumnWidths)));
    Grid->SetRowCount(TeamsPerGroup + 1);
    Grid->SetDefaultRowHeight(RowHeight);
    for (int col = 0; col < Grid->ColCount(); ++col) {
        Grid->SetColWidth(col, ColumnWidths[col]);
        Grid->SetCell(col, 0, QString::fromUtf8(Headers[col]));
    }
    Grid->OnDrawCell = [this](QPainter& painter, int col, int row, const QRect& rect) {
        GridDrawCell(painter, col, row, rect);
    };

    connect(cGrupo, &QComboBox::currentIndexChanged, this,
            [this] { RunHandler([this] { cGrupoChange(); }); });
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TformGrupos::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RunHandler([this] { FormShow(); });
}

void TformGrupos::FormShow() {
    {
        const QSignalBlocker blocker(cGrupo);
        cGrupo->setCurrentIndex(0);
    }
    cGrupoChange();
    cGrupo->setFocus();

    Grid->SetClientWidth(Grid->GridWidth());
    Grid->SetClientHeight(Grid->GridHeight());
    const QRect grid = Grid->geometry();
    bOk->move(grid.x() + grid.width() - bOk->width(), grid.y() + grid.height() + Margin);
    setFixedSize(bOk->x() + bOk->width() + Margin, bOk->y() + bOk->height() + Margin);
}

void TformGrupos::cGrupoChange() {
    const int g = cGrupo->currentIndex();
    for (int p = 0; p < TeamsPerGroup; ++p) {
        const int32_t t = GroupTable[g][p];
        const TeamStats& stats = Standings[t];
        const int row = p + 1;
        Grid->SetCell(0, row, QString::fromStdString(TorvelDatabase->Selecoes[t].Nome()));
        Grid->SetCell(1, row, QString::number(stats.Points));
        Grid->SetCell(2, row, QString::number(stats.GoalsFor));
        Grid->SetCell(3, row, QString::number(stats.GoalsAgainst));
        Grid->SetCell(4, row, QString::number(stats.Played));
    }
}

void TformGrupos::GridDrawCell(QPainter& painter, int col, int row, const QRect& rect) const {
    QFont font = Grid->font();
    font.setBold(row == 0);
    painter.setFont(font);
    DrawCellText(painter, rect, Grid->Cell(col, row), row == 0,
                 col == 0 ? Qt::AlignLeft : Qt::AlignHCenter);
}
