// The group standings window and the ranking window, opened from the main
// window's buttons with their modal loops scripted.

#include "program_fixture.h"

#include "hand_cursor.h"
#include "torvel_rankingpontos.h"
#include "torvel_rankingselecoes.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <functional>

using namespace torvel_test;

namespace {

// Where the text of a drawn cell lies: the first and last column of pixels
// that differ from the cell's background.
struct TInk {
    int left = -1;
    int right = -1;
    QColor background;
};

TInk DrawnInk(const TTextGrid& grid, int col, int row, int width) {
    QImage image(width, 19, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        QPainter painter(&image);
        grid.OnDrawCell(painter, col, row, image.rect());
    }
    TInk ink;
    ink.background = image.pixelColor(0, 0);
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) != ink.background) {
                if (ink.left < 0)
                    ink.left = x;
                ink.right = x;
            }
    return ink;
}

void ExpectLeftAligned(const TInk& ink) {
    EXPECT_GE(ink.left, 2);
    EXPECT_LE(ink.left, 4);
}

void ExpectCentred(const TInk& ink, int width) {
    ASSERT_GE(ink.left, 0);
    EXPECT_GT(ink.left, 10);
    EXPECT_NEAR(ink.left, width - 1 - ink.right, 2);
}

class StandingsWindowsTest : public ProgramTest {
protected:
    TformTorvel& Window() { return program->FormTorvel; }

    // Clicks the button; the modal window it opens is shown, checked by
    // check and closed with OK.
    void Open(QPushButton* button, const std::function<void(QDialog&)>& check) {
        Dialogs::TScriptedModals modals([&](QDialog& dialog) {
            ++modalCount;
            dialog.show();
            QApplication::processEvents();
            check(dialog);
            QTest::mouseClick(dialog.findChild<QPushButton*>("bOk"), Qt::LeftButton);
            EXPECT_FALSE(dialog.isVisible()) << "OK closes the window";
            return dialog.result();
        });
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void OpenGroups(const std::function<void(TformGrupos&)>& check) {
        Open(Window().bGrupos, [&](QDialog& dialog) {
            ASSERT_EQ(&dialog, formGrupos);
            check(*formGrupos);
        });
    }
    void OpenRanking(QPushButton* button, const std::function<void(TformRanking&)>& check) {
        Open(button, [&](QDialog& dialog) {
            ASSERT_EQ(&dialog, formRanking);
            check(*formRanking);
        });
    }
    QStringList Column(const TTextGrid& grid, int col) {
        QStringList texts;
        for (int row = 0; row < grid.RowCount(); ++row)
            texts << grid.Cell(col, row);
        return texts;
    }
    void TypeScore(int m, int goals0, int goals1) {
        const int r = RowOfMatch(m);
        Window().mGols0[r]->setText(QString::number(goals0));
        Window().mGols1[r]->setText(QString::number(goals1));
    }

    int modalCount = 0;
};

TEST_F(StandingsWindowsTest, GroupWindowShowsTheStandingsOfTheUpdateBeforeIt) {
    Start();
    // Entered after the phase was shown: only the update of the button
    // brings them into the standings.
    TypeScore(0, 3, 1);
    TypeScore(1, 0, 0);
    OpenGroups([](TformGrupos& w) {
        EXPECT_EQ(w.windowTitle(), QApplication::applicationName());
        EXPECT_EQ(w.cGrupo->currentText(), "Grupo A");
        EXPECT_EQ(w.cGrupo->count(), 8);
        const TTextGrid& grid = *w.Grid;
        ASSERT_EQ(grid.RowCount(), 5);
        ASSERT_EQ(grid.ColCount(), 5);
        const QStringList header = {"Seleção", "Pontos", "Gols a Favor", "Gols Contra",
                                    "N.º de Jogos"};
        for (int col = 0; col < 5; ++col)
            EXPECT_EQ(grid.Cell(col, 0), header[col]);
        const QStringList first = {"Time 0", "3", "3", "1", "1"};
        for (int col = 0; col < 5; ++col)
            EXPECT_EQ(grid.Cell(col, 1), first[col]) << col;
        EXPECT_EQ(grid.Cell(0, 4), "Time 1");
        EXPECT_EQ(grid.Cell(1, 2), "1") << "a goalless draw gives a point";
        EXPECT_EQ(grid.Cell(2, 2), "0");
    });
    EXPECT_EQ(modalCount, 1);
}

TEST_F(StandingsWindowsTest, GroupWindowAlwaysOpensOnGroupAAndShowsZerosWithoutScores) {
    SetResult(matches, 0, 2, 0);
    Start();
    OpenGroups([](TformGrupos& w) {
        EXPECT_EQ(w.cGrupo->currentIndex(), 0);
        EXPECT_EQ(w.focusWidget(), w.cGrupo);
        w.cGrupo->setCurrentIndex(2);
        for (int p = 0; p < TeamsPerGroup; ++p) {
            EXPECT_EQ(w.Grid->Cell(0, p + 1), QString("Time %1").arg(8 + p));
            for (int col = 1; col < 5; ++col)
                EXPECT_EQ(w.Grid->Cell(col, p + 1), "0") << p << " " << col;
        }
    });
    OpenGroups([](TformGrupos& w) {
        EXPECT_EQ(w.cGrupo->currentIndex(), 0);
        EXPECT_EQ(w.Grid->Cell(0, 1), "Time 0");
        EXPECT_EQ(w.Grid->Cell(1, 1), "3");
    });
    EXPECT_EQ(modalCount, 2);
}

TEST_F(StandingsWindowsTest, GroupWindowIsSizedToItsGrid) {
    Start();
    OpenGroups([](TformGrupos& w) {
        const TTextGrid& grid = *w.Grid;
        const int widths[] = {128, 76, 76, 76, 76};
        for (int col = 0; col < 5; ++col)
            EXPECT_EQ(grid.ColWidth(col), widths[col]);
        EXPECT_EQ(grid.DefaultRowHeight(), 19);
        EXPECT_EQ(grid.GridWidth(), 437);
        EXPECT_EQ(grid.GridHeight(), 100);
        EXPECT_EQ(grid.viewport()->width(), grid.GridWidth()) << "no empty space";
        EXPECT_EQ(grid.horizontalHeader()->height() + grid.viewport()->height(), 100);
        EXPECT_FALSE(grid.verticalScrollBar()->isVisible());
        EXPECT_EQ(grid.pos(), QPoint(8, 72));

        const QRect ok = w.bOk->geometry();
        EXPECT_EQ(ok.right(), grid.geometry().right());
        EXPECT_EQ(ok.top(), grid.geometry().bottom() + 1 + 8);
        EXPECT_EQ(ok.size(), QSize(75, 25));
        EXPECT_EQ(w.size(), QSize(ok.right() + 1 + 8, ok.bottom() + 1 + 8));
        EXPECT_EQ(w.bOk->cursor().shape(), HandCursor().shape());
    });
}

TEST_F(StandingsWindowsTest, GroupWindowDrawsBoldHeaderOnButtonFaceAndAlignsByColumn) {
    Start();
    const TTextGrid& grid = *formGrupos->Grid;
    const QPalette palette = QApplication::palette();
    const TInk header = DrawnInk(grid, 1, 0, 76);
    EXPECT_EQ(header.background, palette.color(QPalette::Button));
    ExpectCentred(header, 76);
    formGrupos->Grid->SetCell(1, 1, "Pontos");
    const TInk plain = DrawnInk(grid, 1, 1, 76);
    EXPECT_EQ(plain.background, palette.color(QPalette::Base));
    EXPECT_GT(header.right - header.left, plain.right - plain.left) << "the header is bold";
    formGrupos->Grid->SetCell(0, 1, "Time 0");
    ExpectLeftAligned(DrawnInk(grid, 0, 1, 128));
    ExpectCentred(DrawnInk(grid, 4, 0, 150), 150);
}

TEST_F(StandingsWindowsTest, OverallRankingWithoutResultsShowsEveryTeamFirst) {
    Start();
    OpenRanking(Window().bRankingGeral, [](TformRanking& w) {
        const TTextGrid& grid = *w.Grid;
        EXPECT_EQ(w.lTitulo->text(), "Classificação Geral das Seleções");
        ASSERT_EQ(grid.ColCount(), 2);
        ASSERT_EQ(grid.RowCount(), 33);
        EXPECT_EQ(grid.Cell(0, 0), "Posição");
        EXPECT_EQ(grid.Cell(1, 0), "Seleção");
        for (int i = 0; i < TeamCount; ++i) {
            EXPECT_EQ(grid.Cell(0, i + 1), "1.º") << i;
            EXPECT_EQ(grid.Cell(1, i + 1), QString("Time %1").arg(i));
        }
    });
    EXPECT_EQ(modalCount, 1);
}

TEST_F(StandingsWindowsTest, OverallRankingNumbersLevelTeamsAlike) {
    // Every group ends with slot 3 first on 9 points down to slot 0 on none;
    // 1A beats 2B in the only knockout result.
    const int scores[6][2] = {{0, 1}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {0, 1}};
    for (int g = 0; g < GroupCount; ++g)
        for (int k = 0; k < 6; ++k)
            SetResult(matches, 6 * g + k, scores[k][0], scores[k][1]);
    SetResult(matches, 48, 2, 0);
    Start();
    OpenRanking(Window().bRankingGeral, [](TformRanking& w) {
        // The eliminated teams keep the figures of their head-to-head runs,
        // among which no match was played: all sixteen look level.
        QStringList expected = {"Posição", "1.º"};
        for (int row = 2; row < 16; ++row)
            expected << "2.º";
        expected << "3.º";
        for (int row = 17; row <= TeamCount; ++row)
            expected << "4.º";
        QStringList shown;
        for (int row = 0; row < w.Grid->RowCount(); ++row)
            shown << w.Grid->Cell(0, row);
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(w.Grid->Cell(1, 1), "Time 3") << "1A won the only knockout match";
        EXPECT_EQ(w.Grid->Cell(1, 16), "Time 6") << "2B lost it";
    });
}

TEST_F(StandingsWindowsTest, RankingWindowFitsItsWidthToTheColumns) {
    Start();
    for (QPushButton* button : {Window().bRankingGeral, Window().bRankingArtilheiros})
        OpenRanking(button, [](TformRanking& w) {
            const TTextGrid& grid = *w.Grid;
            EXPECT_EQ(grid.viewport()->width(), grid.GridWidth());
            EXPECT_EQ(grid.Cell(0, 0), "Posição");
            EXPECT_EQ(grid.height(), 224) << "the rows scroll";
            EXPECT_EQ(grid.pos(), QPoint(8, 24));
            EXPECT_EQ(w.bOk->geometry().right(), grid.geometry().right());
            EXPECT_EQ(w.bOk->y(), 253);
            EXPECT_EQ(w.width(), w.bOk->geometry().right() + 1 + 8);
            EXPECT_EQ(w.height(), 286);
        });
    EXPECT_EQ(modalCount, 2);
    EXPECT_TRUE(messages.empty());
}

// Opening the two rankings one after the other, with the same contents, gives
// each the width and column widths of its first showing, every time.
TEST_F(StandingsWindowsTest, RankingWindowKeepsItsWidthWhenTheRankingsAlternate) {
    AddSquad(teams, 0, {9});
    SetResult(matches, 0, 1, 0);
    AddParticipant(matches, 0, 0, 9, 1);
    Start();
    struct Shape {
        int window;
        std::vector<int> columns;
        bool operator==(const Shape&) const = default;
    };
    const auto shapeOf = [](const TformRanking& w) {
        Shape shape{w.width(), {}};
        for (int col = 0; col < w.Grid->ColCount(); ++col)
            shape.columns.push_back(w.Grid->ColWidth(col));
        return shape;
    };
    std::vector<Shape> overall, scorers;
    for (int round = 0; round < 3; ++round) {
        OpenRanking(Window().bRankingGeral,
                    [&](TformRanking& w) { overall.push_back(shapeOf(w)); });
        OpenRanking(Window().bRankingArtilheiros,
                    [&](TformRanking& w) { scorers.push_back(shapeOf(w)); });
    }
    ASSERT_EQ(overall.size(), 3u);
    ASSERT_EQ(scorers.size(), 3u);
    EXPECT_EQ(overall[0].window, 339) << "the designed grid with its border and scroll bar";
    for (int round = 1; round < 3; ++round) {
        EXPECT_EQ(overall[round].window, overall[0].window) << "round " << round;
        EXPECT_EQ(overall[round].columns, overall[0].columns) << "round " << round;
        EXPECT_EQ(scorers[round].window, scorers[0].window) << "round " << round;
        EXPECT_EQ(scorers[round].columns, scorers[0].columns) << "round " << round;
    }
}

TEST_F(StandingsWindowsTest, RankingWindowCentresOnlyTheSecondColumn) {
    Start();
    OpenRanking(Window().bRankingGeral, [](TformRanking& w) {
        const TTextGrid& grid = *w.Grid;
        EXPECT_EQ(grid.ColWidth(0), 59);
        EXPECT_EQ(grid.ColWidth(1), grid.ClientWidth() - 59 - 2);
        ExpectLeftAligned(DrawnInk(grid, 0, 0, 59));
        ExpectLeftAligned(DrawnInk(grid, 0, 3, 59));
        ExpectCentred(DrawnInk(grid, 1, 3, 231), 231);
        EXPECT_EQ(DrawnInk(grid, 0, 0, 59).background,
                  QApplication::palette().color(QPalette::Button));
        EXPECT_EQ(DrawnInk(grid, 0, 3, 59).background,
                  QApplication::palette().color(QPalette::Base));
    });
    OpenRanking(Window().bRankingArtilheiros, [](TformRanking& w) {
        const TTextGrid& grid = *w.Grid;
        ExpectLeftAligned(DrawnInk(grid, 0, 0, 59));
        ExpectCentred(DrawnInk(grid, 1, 0, 150), 150);
        ExpectLeftAligned(DrawnInk(grid, 2, 0, 90));
        ExpectLeftAligned(DrawnInk(grid, 3, 0, 45));
    });
}

TEST_F(StandingsWindowsTest, ScorerRankingListsScorersByGoals) {
    AddSquad(teams, 0, {9, 10});
    AddSquad(teams, 1, {9});
    SetResult(matches, 0, 3, 1);
    AddParticipant(matches, 0, 0, 9, 1);
    AddParticipant(matches, 0, 0, 10, 2);
    AddParticipant(matches, 0, 1, 9, 1);
    SetResult(matches, 2, 1, 0);
    AddParticipant(matches, 2, 0, 77, 1);
    Start();
    OpenRanking(Window().bRankingArtilheiros, [](TformRanking& w) {
        const TTextGrid& grid = *w.Grid;
        EXPECT_EQ(w.lTitulo->text(), "Classificação Geral dos Artilheiros");
        ASSERT_EQ(grid.ColCount(), 4);
        ASSERT_EQ(grid.RowCount(), 5);
        const QStringList rows[] = {{"Posição", "Artilheiro", "Seleção", "Gols"},
                                    {"1.º", "Jogador 10", "Time 0", "2"},
                                    {"2.º", "Jogador 9", "Time 0", "1"},
                                    {"2.º", "Jogador 9", "Time 1", "1"},
                                    {"2.º", "Camisa 77", "Time 0", "1"}};
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 4; ++col)
                EXPECT_EQ(grid.Cell(col, row), rows[row][col]) << row << " " << col;
        EXPECT_EQ(grid.ColWidth(3), 45);
        EXPECT_EQ(grid.ColWidth(2), 90);
        EXPECT_EQ(grid.ColWidth(1), grid.ClientWidth() - grid.ColWidth(0) - 45 - 90 - 4);
    });
    EXPECT_TRUE(messages.empty()) << "every goal is attributed";
}

TEST_F(StandingsWindowsTest, UnattributedGoalsWarnAndTheRankingIsShownAllTheSame) {
    SetResult(matches, 0, 2, 0);
    Start();
    OpenRanking(Window().bRankingArtilheiros, [this](TformRanking& w) {
        ASSERT_EQ(messages.size(), 1u) << "the warning comes before the window";
        const TTextGrid& grid = *w.Grid;
        ASSERT_EQ(grid.RowCount(), 2) << "the header and one empty row";
        for (int col = 0; col < 4; ++col)
            EXPECT_EQ(grid.Cell(col, 1), "") << col;
        EXPECT_EQ(grid.Cell(1, 0), "Artilheiro");
    });
    EXPECT_EQ(modalCount, 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_EQ(messages[0].owner, &Window());
    EXPECT_EQ(messages[0].text, "Aviso! Este ranking não está confiávei, pois há partidas com "
                                "gols que não foram atribuídos a nenhum jogador");
}

TEST_F(StandingsWindowsTest, EmptyScorerRowIsClearedAfterAFullerRanking) {
    AddSquad(teams, 0, {9});
    SetResult(matches, 0, 1, 0);
    AddParticipant(matches, 0, 0, 9, 1);
    Start();
    OpenRanking(Window().bRankingArtilheiros,
                [](TformRanking& w) { EXPECT_EQ(w.Grid->Cell(1, 1), "Jogador 9"); });
    // The result goes away with its goals: no scorer remains.
    TypeScore(0, 0, 0);
    Window().mGols0[RowOfMatch(0)]->clear();
    Window().mGols1[RowOfMatch(0)]->clear();
    OpenRanking(Window().bRankingArtilheiros, [](TformRanking& w) {
        ASSERT_EQ(w.Grid->RowCount(), 2);
        for (int col = 0; col < 4; ++col)
            EXPECT_EQ(w.Grid->Cell(col, 1), "") << col;
    });
    EXPECT_TRUE(messages.empty()) << "no result has goals";
}

} // namespace
