#include "program_fixture.h"

#include <QTest>

using namespace torvel_test;

namespace {

const std::vector<int> Squad0 = {1, 3, 7, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
const std::vector<int> Squad1 = {2, 4, 9};

class LineupTest : public ProgramTest {
protected:
    LineupTest() {
        AddSquad(teams, 0, Squad0);
        AddSquad(teams, 1, Squad1);
    }

    // Opens the dialog on match 0 (team 0 against team 1) as the main window
    // would.
    TformArtilheiros& Open() {
        if (!program)
            Start();
        TformArtilheiros& dialog = program->FormArtilheiros;
        dialog.nSelecao0 = 0;
        dialog.nSelecao1 = 1;
        dialog.nJogo = 0;
        dialog.show();
        return dialog;
    }

    void Add(TformArtilheiros& dialog, int side, int shirt) {
        QComboBox* squad = side == 0 ? dialog.cEquipe0 : dialog.cEquipe1;
        squad->setCurrentIndex(
            squad->findText(QString::asprintf("%2.2d - ", shirt), Qt::MatchStartsWith));
        QTest::mouseClick(side == 0 ? dialog.bAdd0 : dialog.bAdd1, Qt::LeftButton);
    }

    static QStringList Rows(const QListWidget* list) {
        QStringList rows;
        for (int i = 0; i < list->count(); ++i)
            rows << list->item(i)->text();
        return rows;
    }

    std::vector<int> DocumentShirts(int side) {
        std::vector<int> shirts;
        for (pugi::xml_node j : DiskSide(0, side).child("artilheiros").children("jogador"))
            shirts.push_back(j.attribute("No").as_int());
        return shirts;
    }

    static std::vector<int> MemoryShirts(int side) {
        std::vector<int> shirts;
        const auto participants = TorvelDatabase->Jogos[0].equipes()[side].artilheiros();
        for (int i = 0; i < participants.Count(); ++i)
            shirts.push_back(participants[i].No());
        return shirts;
    }
};

TEST_F(LineupTest, ShowsBothTeamsAndTheirSquads) {
    TformArtilheiros& dialog = Open();
    EXPECT_EQ(dialog.lEquipe0->text(), "Time 0");
    EXPECT_EQ(dialog.lEquipe1->text(), "Time 1");
    EXPECT_EQ(dialog.cEquipe0->count(), 16);
    EXPECT_EQ(dialog.cEquipe1->itemText(0), "02 - Jogador 2");
    EXPECT_EQ(dialog.cEquipe1->currentIndex(), 0);
    EXPECT_EQ(dialog.lPlacar->text(), "Placar: indefinido");
    EXPECT_FALSE(dialog.bDel0->isEnabled());
    EXPECT_FALSE(dialog.eGols0->isEnabled());
    EXPECT_EQ(dialog.size(), QSize(531, 279));
    EXPECT_EQ(dialog.eGols1->geometry(), QRect(480, 207, 41, 21));
    EXPECT_EQ(dialog.listEquipe1->geometry(), QRect(272, 72, 249, 129));
}

TEST_F(LineupTest, ParticipantsAreKeptInShirtOrder) {
    TformArtilheiros& dialog = Open();
    for (int shirt : {10, 3, 7})
        Add(dialog, 0, shirt);
    EXPECT_EQ(Rows(dialog.listEquipe0),
              QStringList({"03 - Jogador 3", "07 - Jogador 7", "10 - Jogador 10"}));
    EXPECT_EQ(MemoryShirts(0), std::vector<int>({3, 7, 10}));
    EXPECT_EQ(dialog.listEquipe0->currentRow(), 1);
    EXPECT_EQ(dialog.lGols0->text(), "Gols de Jogador 7");
    EXPECT_TRUE(dialog.eGols0->isEnabled());
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    TorvelDatabase->XMLJogos.SaveToFile();
    EXPECT_EQ(DocumentShirts(0), std::vector<int>({3, 7, 10}));
}

TEST_F(LineupTest, RefusesAFifteenthParticipantAndADuplicate) {
    TformArtilheiros& dialog = Open();
    for (size_t i = 0; i < 14; ++i)
        Add(dialog, 0, Squad0[i]);
    ASSERT_TRUE(messages.empty());
    Add(dialog, 0, Squad0[14]);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "Não é possível incluir mais nenhum participante deste time na partida.");
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_EQ(dialog.listEquipe0->count(), 14);

    Add(dialog, 1, 4); // the other side is not affected
    Add(dialog, 1, 4);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Este jogador já está incluso na partida.");
    EXPECT_EQ(MemoryShirts(1), std::vector<int>({4}));
}

TEST_F(LineupTest, ShirtOutsideTheSquadIsListedByNumberAndStaysEditable) {
    SetResult(matches, 0, 0, 1); // a played match keeps its goal counts
    AddParticipant(matches, 0, 1, 7, -1);
    AddParticipant(matches, 0, 1, 9, 1);
    TformArtilheiros& dialog = Open();
    EXPECT_EQ(Rows(dialog.listEquipe1), QStringList({"07 - Camisa 07", "09 - Jogador 9"}));
    EXPECT_EQ(dialog.lGols1->text(), "Gols de Camisa 07");
    EXPECT_TRUE(dialog.eGols1->isEnabled());
    QTest::keyClicks(dialog.eGols1, "2x");
    EXPECT_EQ(dialog.eGols1->text(), "2");
    EXPECT_EQ(TorvelDatabase->Jogos[0].equipes()[1].artilheiros()[0].Gols(), 2);
    EXPECT_EQ(dialog.nPlacar1, 3);
}

TEST_F(LineupTest, GoalCountsMakeTheScoreLine) {
    SetResult(matches, 0, 0, 1);
    AddParticipant(matches, 0, 0, 3, -1);
    AddParticipant(matches, 0, 1, 2, 1);
    TformArtilheiros& dialog = Open();
    QTest::keyClicks(dialog.eGols0, "0");
    EXPECT_EQ(dialog.nPlacar0, 0);
    EXPECT_EQ(dialog.nPlacar1, 1);
    EXPECT_EQ(dialog.lPlacar->text(), "Placar: Time 0  0 x 1  Time 1");

    dialog.eGols1->clear(); // the only goal count of side 1
    EXPECT_EQ(TorvelDatabase->Jogos[0].equipes()[1].artilheiros()[0].Gols(), -1);
    EXPECT_EQ(dialog.nPlacar1, -1);
    EXPECT_EQ(dialog.lPlacar->text(), "Placar: indefinido");
}

TEST_F(LineupTest, RemovalAsksFirstAndLeavesNothingSelected) {
    SetResult(matches, 0, 3, 0);
    AddParticipant(matches, 0, 0, 3, 1);
    AddParticipant(matches, 0, 0, 7, 2);
    TformArtilheiros& dialog = Open();
    answer = QMessageBox::No;
    QTest::mouseClick(dialog.bDel0, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Question);
    EXPECT_EQ(messages[0].text,
              "Deseja realmente remover este jogador da lista de participantes deste jogo?");
    EXPECT_EQ(MemoryShirts(0), std::vector<int>({3, 7}));
    EXPECT_EQ(dialog.listEquipe0->count(), 2);

    answer = QMessageBox::Yes;
    QTest::mouseClick(dialog.bDel0, Qt::LeftButton);
    EXPECT_EQ(MemoryShirts(0), std::vector<int>({7}));
    EXPECT_EQ(Rows(dialog.listEquipe0), QStringList({"07 - Jogador 7"}));
    EXPECT_EQ(dialog.listEquipe0->currentRow(), -1);
    EXPECT_FALSE(dialog.eGols0->isEnabled());
    EXPECT_TRUE(dialog.bDel0->isEnabled());
    EXPECT_EQ(dialog.nPlacar0, 2);

    dialog.listEquipe0->setCurrentRow(0);
    QTest::mouseClick(dialog.bDel0, Qt::LeftButton);
    EXPECT_EQ(dialog.listEquipe0->count(), 0);
    EXPECT_FALSE(dialog.bDel0->isEnabled());
    EXPECT_EQ(dialog.lPlacar->text(), "Placar: indefinido");
}

TEST_F(LineupTest, EscapeDoesNotCloseTheDialog) {
    TformArtilheiros& dialog = Open();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// The lineup button of a match row, with the dialog driven by a script.
class LineupFromRowTest : public LineupTest {
protected:
    void ClickLineup(const std::function<void(TformArtilheiros&)>& script) {
        Dialogs::TScriptedModals modals([&](QDialog& dialog) {
            ++modalCount;
            dialog.show();
            script(static_cast<TformArtilheiros&>(dialog));
            dialog.accept();
            return static_cast<int>(QDialog::Accepted);
        });
        QTest::mouseClick(program->FormTorvel.bEscalacao[RowOfMatch(0)], Qt::LeftButton);
    }
    QLineEdit* Box(int s) {
        const int r = RowOfMatch(0);
        return s == 0 ? program->FormTorvel.mGols0[r] : program->FormTorvel.mGols1[r];
    }
    int modalCount = 0;
};

TEST_F(LineupFromRowTest, DeterminedScoresGoToTheRowKeepingTheAttributedGoals) {
    Start();
    ClickLineup([this](TformArtilheiros& dialog) {
        Add(dialog, 0, 10);
        QTest::keyClicks(dialog.eGols0, "2");
        Add(dialog, 1, 9);
        QTest::keyClicks(dialog.eGols1, "0");
    });
    EXPECT_EQ(modalCount, 1);
    EXPECT_EQ(Box(0)->text(), "2");
    EXPECT_EQ(Box(1)->text(), "0");
    EXPECT_FALSE(SkipScorerReset);
    EXPECT_EQ(DiskSide(0, 0).child("gols").attribute("Quant").as_int(), 2);
    EXPECT_EQ(DiskSide(0, 1).child("gols").attribute("Quant").as_int(), 0);
    EXPECT_EQ(DiskSide(0, 0).child("artilheiros").child("jogador").attribute("Gols").as_int(), 2);
    EXPECT_EQ(DiskSide(0, 1).child("artilheiros").child("jogador").attribute("Gols").as_int(), 0);
}

TEST_F(LineupFromRowTest, AnUndeterminedSideEmptiesBothBoxes) {
    SetResult(matches, 0, 1, 1);
    AddParticipant(matches, 0, 0, 3, 1);
    AddParticipant(matches, 0, 1, 2, 1);
    Start();
    ClickLineup([](TformArtilheiros& dialog) { dialog.eGols1->clear(); });
    EXPECT_EQ(Box(0)->text(), "");
    EXPECT_EQ(Box(1)->text(), "");
    EXPECT_EQ(DiskSide(0, 0).child("gols").attribute("Quant").as_int(), -1);
    EXPECT_EQ(DiskSide(0, 1).child("gols").attribute("Quant").as_int(), -1);
    EXPECT_EQ(DiskSide(0, 0).child("artilheiros").child("jogador").attribute("Gols").as_int(), 1);
}

TEST_F(LineupFromRowTest, ATeamWithoutSquadStopsWithAMessage) {
    teams.reset();
    MakeTeamDocument(teams);
    AddSquad(teams, 0, Squad0); // team 1 has no squad
    Start();
    const std::string before = ReadFile(dir.Dados() / "jogos.xml");
    ClickLineup([](TformArtilheiros&) {});
    EXPECT_EQ(modalCount, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_TRUE(messages[0].text.startsWith("Antes de definir quem jogou esta partida"));
    EXPECT_TRUE(messages[0].text.endsWith("clique no botão \"Jogadores Convocados\""));
    EXPECT_EQ(ReadFile(dir.Dados() / "jogos.xml"), before);
}

} // namespace
