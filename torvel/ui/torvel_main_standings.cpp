// The main window's buttons that show the group standings and the rankings.

#include "torvel_main.h"

#include "dialogs.h"
#include "torvel_database.h"
#include "torvel_qualification.h"
#include "torvel_ranking.h"
#include "torvel_rankingpontos.h"
#include "torvel_rankingselecoes.h"

namespace {

constexpr int OverallRows = TeamCount + 1;
constexpr int ScorerGoalsWidth = 45;
constexpr int ScorerTeamWidth = 90;

QString TeamName(int32_t team) {
    return QString::fromStdString(TorvelDatabase->Selecoes[team].Nome());
}

QString PositionText(int32_t position) {
    return QString::number(position) + ".º";
}

QString ScorerName(const TScorer& scorer) {
    const torvel_db_selecoes::IXMLJogadorType player = SquadPlayer(scorer.Team, scorer.Shirt);
    return player ? QString::fromStdString(player.Nome())
                  : "Camisa " + QString::number(scorer.Shirt);
}

} // namespace

void TformTorvel::bGruposClick() {
    UpdateQualification();
    Dialogs::ShowModal(*formGrupos);
}

void TformTorvel::bRankingGeralClick() {
    OverallRanking();
    TTextGrid& grid = *formRanking->Grid;
    grid.SetColCount(2);
    // The rows first: whether they scroll decides the width left for the columns.
    grid.SetRowCount(OverallRows);
    grid.SetColWidth(1, grid.ClientWidth() - grid.ColWidth(0) - 2);
    int32_t position = 0;
    for (int i = 0; i < TeamCount; ++i) {
        const int32_t team = RankingOrder[i];
        const bool sharesPrevious = i > 0 && RankingOrder[i - 1] >= 0 && team >= 0 &&
                                    RankingLevel(RankingOrder[i - 1], team);
        if (!sharesPrevious)
            ++position;
        grid.SetCell(0, i + 1, PositionText(position));
        grid.SetCell(1, i + 1, team >= 0 ? TeamName(team) : QString());
    }
    formRanking->lTitulo->setText("Classificação Geral das Seleções");
    grid.SetCell(1, 0, "Seleção");
    Dialogs::ShowModal(*formRanking);
}

void TformTorvel::bRankingArtilheirosClick() {
    if (!ScorerRanking())
        Dialogs::Message(this,
                         "Aviso! Este ranking não está confiávei, pois há partidas com gols que "
                         "não foram atribuídos a nenhum jogador",
                         Dialogs::TMessageKind::Stop);
    TTextGrid& grid = *formRanking->Grid;
    grid.SetRowCount(Scorers.empty() ? 2 : static_cast<int>(Scorers.size()) + 1);
    grid.SetColCount(4);
    grid.SetColWidth(3, ScorerGoalsWidth);
    grid.SetColWidth(2, ScorerTeamWidth);
    grid.SetColWidth(1, grid.ClientWidth() - grid.ColWidth(0) - grid.ColWidth(3) -
                            grid.ColWidth(2) - 4);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetCell(col, 1, QString());
    for (size_t k = 0; k < Scorers.size(); ++k) {
        const TScorer& scorer = Scorers[k];
        const int row = static_cast<int>(k) + 1;
        grid.SetCell(0, row, PositionText(scorer.Position));
        grid.SetCell(1, row, ScorerName(scorer));
        grid.SetCell(2, row, TeamName(scorer.Team));
        grid.SetCell(3, row, QString::number(scorer.Goals));
    }
    formRanking->lTitulo->setText("Classificação Geral dos Artilheiros");
    grid.SetCell(1, 0, "Artilheiro");
    grid.SetCell(2, 0, "Seleção");
    grid.SetCell(3, 0, "Gols");
    Dialogs::ShowModal(*formRanking);
}
