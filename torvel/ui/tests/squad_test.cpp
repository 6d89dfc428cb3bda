#include "program_fixture.h"

#include "hand_cursor.h"

#include <QClipboard>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace torvel_test;

namespace {

// Team 5 is renamed so that it sorts first, and teams 20 and 21 so that the
// list must sort without regard to case and accents.
constexpr int Alemanha = 5;
constexpr int Brasil = 20;
constexpr int Equador = 21;

class SquadEditorTest : public ProgramTest {
protected:
    SquadEditorTest() {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        TeamNode(teams, Alemanha).child("Nome").text() = "Alemanha";
        TeamNode(teams, Alemanha).child("Bandeira").text() = "alemanha.jpg";
        TeamNode(teams, Brasil).child("Nome").text() = "brasil";
        TeamNode(teams, Equador).child("Nome").text() = "Équador";
        AddSquad(teams, Alemanha, {3, 10});
        CopyShippedFlag(dir, "alemanha.jpg");
    }

    ~SquadEditorTest() override { QLocale::setDefault(QLocale::c()); }

    // Opens the squad editor from the main window's button, as the user does.
    TformConvocados& Open() {
        if (!program)
            Start();
        TformConvocados& editor = program->FormConvocados;
        QDialog* shown = nullptr;
        {
            const Dialogs::TScriptedModals modals([&](QDialog& dialog) {
                shown = &dialog;
                dialog.show();
                return 0;
            });
            QTest::mouseClick(program->FormTorvel.bConvocados, Qt::LeftButton);
        }
        EXPECT_EQ(shown, &editor);
        QApplication::setActiveWindow(&editor);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
        return editor;
    }

    // Types the number over the number box's text.
    static void TypeNumber(TformConvocados& editor, const char* number) {
        editor.eNumero->setFocus();
        editor.eNumero->selectAll();
        QTest::keyClick(editor.eNumero, Qt::Key_Backspace);
        QTest::keyClicks(editor.eNumero, number);
    }

    // Enters the name over the name box's text, as typing or pasting does
    // (key clicks only know ASCII).
    static void EnterName(TformConvocados& editor, const QString& name) {
        editor.eNome->setFocus();
        editor.eNome->selectAll();
        editor.eNome->insert(name);
    }

    // Types a shirt number, leaves the number box for the name box and enters
    // the name.
    static void Type(TformConvocados& editor, const char* number, const QString& name) {
        TypeNumber(editor, number);
        EnterName(editor, name);
    }

    static void ClickRow(TformConvocados& editor, int row) {
        QListWidget* list = editor.lbConvocados;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    static QStringList Rows(const TformConvocados& editor) {
        QStringList rows;
        for (int i = 0; i < editor.lbConvocados->count(); ++i)
            rows << editor.lbConvocados->item(i)->text();
        return rows;
    }

    // Shirt and name of every squad player of the team in the file on disk.
    std::vector<std::pair<int, std::string>> DiskSquad(int team) const {
        std::vector<std::pair<int, std::string>> squad;
        for (pugi::xml_node j : DiskTeam(team).child("Convocados").children("Jogador"))
            squad.emplace_back(j.attribute("No").as_int(), j.child_value("Nome"));
        return squad;
    }

    static void ExpectNothingSelectedAndBothButtonsDisabled(const TformConvocados& editor) {
        EXPECT_EQ(editor.lbConvocados->currentRow(), -1);
        EXPECT_TRUE(editor.lbConvocados->selectedItems().isEmpty());
        EXPECT_EQ(editor.eNumero->Value(), 0);
        EXPECT_EQ(editor.eNumero->text(), "");
        EXPECT_EQ(editor.eNome->text(), "");
        EXPECT_FALSE(editor.bAdd->isEnabled());
        EXPECT_FALSE(editor.bDel->isEnabled());
    }

    void SelectTeam(TformConvocados& editor, const QString& name) {
        const int index = editor.cbSelecoes->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        editor.cbSelecoes->setCurrentIndex(index);
    }
};

TEST_F(SquadEditorTest, OpensOnTheAlphabeticallyFirstTeamWithItsSquadAndFlag) {
    TformConvocados& editor = Open();
    ASSERT_EQ(editor.cbSelecoes->count(), 32);
    EXPECT_EQ(editor.cbSelecoes->itemText(0), "Alemanha");
    EXPECT_EQ(editor.cbSelecoes->itemText(1), "brasil");
    EXPECT_EQ(editor.cbSelecoes->itemText(2), "Équador");
    EXPECT_EQ(editor.cbSelecoes->itemText(3), "Time 0");
    EXPECT_EQ(editor.cbSelecoes->itemText(4), "Time 1");
    EXPECT_EQ(editor.cbSelecoes->itemText(5), "Time 10");
    EXPECT_EQ(editor.nSelecao, Alemanha);
    EXPECT_EQ(Rows(editor), QStringList({"03 - Jogador 3", "10 - Jogador 10"}));
    EXPECT_EQ(editor.lbConvocados->currentRow(), 0);
    EXPECT_EQ(editor.nConvocado, 0);
    EXPECT_EQ(editor.eNumero->Value(), 3);
    EXPECT_EQ(editor.eNome->text(), "Jogador 3");
    EXPECT_TRUE(editor.bDel->isEnabled());
    EXPECT_FALSE(editor.bAdd->isEnabled());
    EXPECT_EQ(editor.bandeira->pixmap().size(),
              QImage(QString::fromStdString((dir.Dados() / "band/alemanha.jpg").string())).size());
    EXPECT_EQ(QApplication::focusWidget(), editor.cbSelecoes);
    EXPECT_EQ(editor.frameGeometry().center(), editor.screen()->geometry().center())
        << "centred on the screen";

    SelectTeam(editor, "Time 3");
    EXPECT_EQ(editor.nSelecao, 3);
    EXPECT_TRUE(Rows(editor).isEmpty());
    QTest::mouseClick(editor.bVoltar, Qt::LeftButton);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(editor.result(), QDialog::Accepted);

    Open();
    EXPECT_EQ(editor.cbSelecoes->currentText(), "Alemanha");
    EXPECT_EQ(editor.nSelecao, Alemanha);
    EXPECT_EQ(Rows(editor).size(), 2);
    EXPECT_EQ(editor.cbSelecoes->count(), 32) << "the list is filled anew, not appended to";
}

TEST_F(SquadEditorTest, EscapeDoesNotClose) {
    TformConvocados& editor = Open();
    QTest::keyClick(&editor, Qt::Key_Escape);
    EXPECT_TRUE(editor.isVisible());
}

TEST_F(SquadEditorTest, MissingFlagFileShowsAnEmptyFlag) {
    TformConvocados& editor = Open();
    ASSERT_FALSE(editor.bandeira->pixmap().isNull());
    SelectTeam(editor, "brasil"); // its "time20.jpg" is not there
    EXPECT_TRUE(editor.bandeira->pixmap().isNull());
    EXPECT_TRUE(messages.empty());
}

TEST_F(SquadEditorTest, UnreadableFlagFileReachesTheErrorDisplay) {
    std::filesystem::create_directories(dir.Dados() / "band");
    WriteFile(dir.Dados() / "band" / "time20.jpg", "no picture");
    TformConvocados& editor = Open();
    SelectTeam(editor, "brasil");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_TRUE(messages[0].text.startsWith("Não foi possível carregar a bandeira "))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains("time20.jpg"));
}

TEST_F(SquadEditorTest, AddingSevenPutsItBetweenThreeAndTenSelectsItAndSaves) {
    TformConvocados& editor = Open();
    Type(editor, "7", "  Novato  ");
    ASSERT_TRUE(editor.bAdd->isEnabled());
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Rows(editor), QStringList({"03 - Jogador 3", "07 - Novato", "10 - Jogador 10"}));
    EXPECT_EQ(editor.lbConvocados->currentRow(), 1);
    EXPECT_EQ(editor.nConvocado, 1);
    EXPECT_EQ(editor.eNumero->Value(), 7);
    EXPECT_EQ(editor.eNome->text(), "Novato");
    EXPECT_TRUE(editor.bDel->isEnabled());
    EXPECT_FALSE(editor.bAdd->isEnabled());
    using Squad = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(DiskSquad(Alemanha), Squad({{3, "Jogador 3"}, {7, "Novato"}, {10, "Jogador 10"}}));

    Type(editor, "12", "Último");
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    EXPECT_EQ(Rows(editor).last(), "12 - Último");
    EXPECT_EQ(editor.lbConvocados->currentRow(), 3);
    EXPECT_EQ(DiskSquad(Alemanha).back(), Squad::value_type(12, "Último"));

    Type(editor, "1", "Goleiro");
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    EXPECT_EQ(Rows(editor).first(), "01 - Goleiro");
    EXPECT_EQ(DiskSquad(Alemanha).front(), Squad::value_type(1, "Goleiro"));
}

TEST_F(SquadEditorTest, ExistingNumberAnsweredYesRenamesThatPlayersOwnRow) {
    TformConvocados& editor = Open();
    ASSERT_EQ(editor.lbConvocados->currentRow(), 0); // shirt 3 is loaded
    answer = QMessageBox::Yes;
    Type(editor, "10", "Novo Nome");
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Já existe um jogador cadastrado com este número de camisa. "
                                "Substitui pelo novo nome?");
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Question);
    EXPECT_EQ(messages[0].defaultButton, QMessageBox::Yes);
    EXPECT_EQ(messages[0].owner, &editor);
    EXPECT_EQ(Rows(editor), QStringList({"03 - Jogador 3", "10 - Novo Nome"}));
    using Squad = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(DiskSquad(Alemanha), Squad({{3, "Jogador 3"}, {10, "Novo Nome"}}));
    ExpectNothingSelectedAndBothButtonsDisabled(editor);
}

TEST_F(SquadEditorTest, RefusedRenameChangesNothing) {
    TformConvocados& editor = Open();
    const std::string before = ReadFile(dir.Dados() / "selecoes.xml");
    answer = QMessageBox::No;
    Type(editor, "3", "Outro");
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(Rows(editor), QStringList({"03 - Jogador 3", "10 - Jogador 10"}));
    EXPECT_EQ(TorvelDatabase->Selecoes[Alemanha].Convocados()[0].Nome(), "Jogador 3");
    EXPECT_EQ(ReadFile(dir.Dados() / "selecoes.xml"), before);
    ExpectNothingSelectedAndBothButtonsDisabled(editor);
}

TEST_F(SquadEditorTest, AddNeedsANameAndANumberOtherThanZero) {
    TformConvocados& editor = Open();
    EnterName(editor, "   ");
    TypeNumber(editor, "5");
    editor.eNome->setFocus(); // leaves the number box
    EXPECT_FALSE(editor.bAdd->isEnabled());
    EXPECT_TRUE(editor.bDel->isEnabled()) << "the loaded row stays selected";
    EXPECT_EQ(editor.lbConvocados->currentRow(), 0);

    TypeNumber(editor, "");
    EnterName(editor, "Sem Número");
    EXPECT_FALSE(editor.bAdd->isEnabled());
    TypeNumber(editor, "0");
    editor.eNome->setFocus();
    EXPECT_FALSE(editor.bAdd->isEnabled());
    EXPECT_EQ(editor.eNumero->Value(), 0);
    EXPECT_EQ(editor.lbConvocados->currentRow(), 0);

    // Leaving the number box with both present enables it.
    TypeNumber(editor, "5");
    EXPECT_FALSE(editor.bAdd->isEnabled()) << "the number counts once the box is left";
    editor.eNome->setFocus();
    EXPECT_TRUE(editor.bAdd->isEnabled());
    EXPECT_FALSE(editor.bDel->isEnabled());
    EXPECT_EQ(editor.lbConvocados->currentRow(), -1);
    EXPECT_TRUE(editor.lbConvocados->selectedItems().isEmpty());
    EXPECT_EQ(editor.nConvocado, 0) << "keeps the row last loaded";
    EXPECT_EQ(Rows(editor).size(), 2);
}

TEST_F(SquadEditorTest, SelectingARowLoadsItAndDisablesAdd) {
    TformConvocados& editor = Open();
    Type(editor, "8", "Reserva");
    ASSERT_TRUE(editor.bAdd->isEnabled());
    ClickRow(editor, 1);
    EXPECT_EQ(editor.lbConvocados->currentRow(), 1);
    EXPECT_EQ(editor.nConvocado, 1);
    EXPECT_EQ(editor.eNumero->Value(), 10);
    EXPECT_EQ(editor.eNome->text(), "Jogador 10");
    EXPECT_FALSE(editor.bAdd->isEnabled());
    EXPECT_TRUE(editor.bDel->isEnabled());

    // Editing the name of the loaded player offers the change again.
    EnterName(editor, "Jogador Dez");
    EXPECT_TRUE(editor.bAdd->isEnabled());
    EXPECT_FALSE(editor.bDel->isEnabled());
    EXPECT_TRUE(editor.lbConvocados->selectedItems().isEmpty());
}

TEST_F(SquadEditorTest, DeletingAsksFirstAndThenSelectsTheNewLastRow) {
    AddSquad(teams, Alemanha, {12});
    TformConvocados& editor = Open();
    ClickRow(editor, 2);
    ASSERT_EQ(editor.eNumero->Value(), 12);

    answer = QMessageBox::No;
    QTest::mouseClick(editor.bDel, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Deseja realmente excluir este jogador da lista de convocados?");
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Question);
    EXPECT_EQ(messages[0].defaultButton, QMessageBox::No);
    EXPECT_EQ(Rows(editor).size(), 3);
    EXPECT_EQ(DiskSquad(Alemanha).size(), 3u);

    answer = QMessageBox::Yes;
    QTest::mouseClick(editor.bDel, Qt::LeftButton);
    EXPECT_EQ(Rows(editor), QStringList({"03 - Jogador 3", "10 - Jogador 10"}));
    EXPECT_EQ(editor.lbConvocados->currentRow(), 1);
    EXPECT_EQ(editor.nConvocado, 1);
    EXPECT_EQ(editor.eNumero->Value(), 10);
    EXPECT_EQ(editor.eNome->text(), "Jogador 10");
    EXPECT_TRUE(editor.bDel->isEnabled());
    using Squad = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(DiskSquad(Alemanha), Squad({{3, "Jogador 3"}, {10, "Jogador 10"}}));

    // A middle row leaves its successor selected.
    ClickRow(editor, 0);
    QTest::mouseClick(editor.bDel, Qt::LeftButton);
    EXPECT_EQ(Rows(editor), QStringList({"10 - Jogador 10"}));
    EXPECT_EQ(editor.lbConvocados->currentRow(), 0);
    EXPECT_EQ(editor.eNumero->Value(), 10);
}

TEST_F(SquadEditorTest, DeletingTheOnlyRowLeavesBothButtonsDisabled) {
    AddSquad(teams, 3, {9});
    TformConvocados& editor = Open();
    SelectTeam(editor, "Time 3");
    ASSERT_EQ(editor.eNumero->Value(), 9);
    answer = QMessageBox::Yes;
    QTest::mouseClick(editor.bDel, Qt::LeftButton);
    EXPECT_TRUE(Rows(editor).isEmpty());
    EXPECT_EQ(editor.nConvocado, -1);
    ExpectNothingSelectedAndBothButtonsDisabled(editor);
    EXPECT_TRUE(DiskSquad(3).empty());
}

TEST_F(SquadEditorTest, DesignedGeometryFontsCursorsAndTabOrder) {
    TformConvocados& w = Open();
    EXPECT_EQ(w.size(), QSize(640, 480));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.panelBase->geometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(w.iFundo->geometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(w.iFundo->pixmap().size(), QSize(640, 480));
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(w.panelBase->palette().color(QPalette::Window), QColor(Qt::black));

    const std::pair<QWidget*, QRect> designed[] = {
        {w.cbSelecoes, {23, 141, 243, 25}}, {w.lbConvocados, {23, 190, 243, 269}},
        {w.bandeira, {271, 140, 345, 242}}, {w.eNumero, {271, 402, 41, 25}},
        {w.eNome, {319, 402, 297, 25}},     {w.bAdd, {271, 434, 164, 26}},
        {w.bDel, {438, 434, 102, 26}},      {w.bVoltar, {543, 434, 72, 26}}};
    for (const auto& [control, rect] : designed)
        EXPECT_EQ(control->geometry(), rect) << control->objectName().toStdString();
    const std::tuple<QLabel*, QPoint, const char*> labels[] = {
        {w.Label3, {23, 121}, "Lista de Seleções"},
        {w.Label1, {23, 168}, "Jogadores Convocados"},
        {w.lbBandeira, {271, 121}, "Bandeira"},
        {w.Label4, {271, 383}, "N.º"},
        {w.Label5, {319, 383}, "Nome do Jogador"}};
    for (const auto& [label, position, text] : labels) {
        EXPECT_EQ(label->pos(), position) << text;
        EXPECT_EQ(label->text(), QString::fromUtf8(text));
        EXPECT_EQ(label->font().pixelSize(), 16);
        EXPECT_TRUE(label->font().bold());
        EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()));
        EXPECT_FALSE(label->autoFillBackground()) << "labels are transparent";
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white))
            << "readable on the background";
    }
    EXPECT_EQ(w.bAdd->text(), "Adicionar / Alterar Jogador");
    EXPECT_EQ(w.bDel->text(), "Excluir Jogador");
    EXPECT_EQ(w.bVoltar->text(), "Voltar");
    EXPECT_TRUE(w.bandeira->hasScaledContents());

    EXPECT_EQ(w.font().family(), "Arial");
    EXPECT_EQ(w.font().pixelSize(), 16);
    for (QWidget* entry :
         std::initializer_list<QWidget*>{w.cbSelecoes, w.lbConvocados, w.eNumero, w.eNome})
        EXPECT_EQ(entry->font().pixelSize(), 15) << entry->objectName().toStdString();
    for (QWidget* button : {w.bAdd, w.bDel, w.bVoltar}) {
        EXPECT_EQ(button->font().pixelSize(), 13);
        EXPECT_FALSE(button->font().bold());
    }
    for (QWidget* clickable :
         std::initializer_list<QWidget*>{w.cbSelecoes, w.lbConvocados, w.bAdd, w.bDel, w.bVoltar})
        EXPECT_EQ(clickable->cursor().shape(), HandCursor().shape())
            << clickable->objectName().toStdString();
    EXPECT_NE(w.eNome->cursor().shape(), HandCursor().shape());

    EXPECT_EQ(w.eNumero->maxLength(), 2);
    EXPECT_EQ(w.eNumero->DecimalCount(), 0);
    EXPECT_FALSE(w.eNumero->AllowNegatives());
    TypeNumber(w, "-7x1");
    EXPECT_EQ(w.eNumero->text(), "71") << "no minus sign, no letter";

    const QWidget* order[] = {w.cbSelecoes, w.lbConvocados, w.eNumero, w.eNome,
                              w.bAdd,       w.bDel,         w.bVoltar};
    for (size_t i = 1; i < std::size(order); ++i) {
        const QWidget* next = order[i - 1]->nextInFocusChain();
        while (next && !std::count(std::begin(order), std::end(order), next))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i]) << order[i - 1]->objectName().toStdString();
    }
}

// Compares the list rows with the squad of the team in the file, player by
// player: row i shows player i.
void ExpectListShowsTheFileSquad(const TformConvocados& editor,
                                 const std::vector<std::pair<int, std::string>>& disk) {
    QStringList expected;
    for (const auto& [shirt, name] : disk)
        expected << QString::asprintf("%02d - ", shirt) + QString::fromStdString(name);
    QStringList rows;
    for (int i = 0; i < editor.lbConvocados->count(); ++i)
        rows << editor.lbConvocados->item(i)->text();
    EXPECT_EQ(rows, expected);
}

TEST_F(SquadEditorTest, DeletingRemovesThePlayerOfTheSelectedRowWhateverTheNumberBoxShows) {
    AddSquad(teams, Alemanha, {12, 15});
    AddSquad(teams, 3, {9, 9});
    TeamNode(teams, 3).child("Convocados").last_child().child("Nome").text() = "Outro Nove";
    TformConvocados& editor = Open();
    answer = QMessageBox::Yes;
    using Squad = std::vector<std::pair<int, std::string>>;

    // Row 0 (shirt 3) stays selected while the boxes show shirt 10 and no name.
    ClickRow(editor, 0);
    EnterName(editor, "");
    TypeNumber(editor, "10");
    QTest::keyClick(editor.eNumero, Qt::Key_Tab);
    ASSERT_EQ(editor.eNumero->Value(), 10);
    ASSERT_EQ(editor.lbConvocados->currentRow(), 0);
    ASSERT_TRUE(editor.bDel->isEnabled());
    QTest::mouseClick(editor.bDel, Qt::LeftButton);
    EXPECT_EQ(DiskSquad(Alemanha),
              Squad({{10, "Jogador 10"}, {12, "Jogador 12"}, {15, "Jogador 15"}}));
    ExpectListShowsTheFileSquad(editor, DiskSquad(Alemanha));
    EXPECT_EQ(editor.lbConvocados->currentRow(), 0);
    EXPECT_EQ(editor.eNumero->Value(), 10);
    EXPECT_EQ(editor.eNome->text(), "Jogador 10");

    // The number box emptied by the user (End, Backspace, Backspace): the
    // selected row's player still goes.
    ClickRow(editor, 1);
    editor.eNumero->setFocus();
    QTest::keyClick(editor.eNumero, Qt::Key_End);
    QTest::keyClick(editor.eNumero, Qt::Key_Backspace);
    QTest::keyClick(editor.eNumero, Qt::Key_Backspace);
    ASSERT_EQ(editor.eNumero->text(), "");
    EXPECT_EQ(DiskSquad(Alemanha).size(), 3u) << "an empty box saves nothing";
    QTest::mouseClick(editor.bDel, Qt::LeftButton);
    EXPECT_TRUE(messages.size() == 2u && messages.back().text == messages.front().text)
        << "only the two removal questions";
    EXPECT_EQ(DiskSquad(Alemanha), Squad({{10, "Jogador 10"}, {15, "Jogador 15"}}));
    ExpectListShowsTheFileSquad(editor, DiskSquad(Alemanha));
    EXPECT_EQ(editor.lbConvocados->currentRow(), 1);
    EXPECT_EQ(editor.eNumero->Value(), 15);

    // A squad whose file holds two players with the same shirt: each row loads
    // and deletes its own player.
    SelectTeam(editor, "Time 3");
    ClickRow(editor, 1);
    EXPECT_EQ(editor.eNome->text(), "Outro Nove");
    QTest::mouseClick(editor.bDel, Qt::LeftButton);
    EXPECT_EQ(DiskSquad(3), Squad({{9, "Jogador 9"}}));
    ExpectListShowsTheFileSquad(editor, DiskSquad(3));

    // After a restart the editor shows what was saved.
    program.reset();
    program = std::make_unique<TTorvelProgram>(dir.Path());
    program->FormTorvel.show();
    TformConvocados& restarted = Open();
    EXPECT_EQ(Rows(restarted), QStringList({"10 - Jogador 10", "15 - Jogador 15"}));
    SelectTeam(restarted, "Time 3");
    EXPECT_EQ(Rows(restarted), QStringList({"09 - Jogador 9"}));
}

// Every text typed or pasted into the number box that is no whole number from
// 1 to 99 is refused on leaving the box: a stop message, the box emptied,
// nothing added and nothing saved.
TEST_F(SquadEditorTest, NumbersThatAreNoShirtAreRefusedAndNothingIsSaved) {
    TformConvocados& editor = Open();
    const std::string before = ReadFile(dir.Dados() / "selecoes.xml");
    const QStringList rowsBefore = Rows(editor);
    const auto expectRefusedOnce = [&](const std::string& what) {
        ASSERT_EQ(messages.size(), 1u) << what;
        EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop) << what;
        EXPECT_EQ(messages[0].owner, &editor);
        EXPECT_EQ(messages[0].text,
                  "Número de camisa inválido. Informe um número inteiro de 1 a 99.");
        EXPECT_EQ(editor.eNumero->Value(), 0) << what;
        EXPECT_EQ(editor.eNumero->text(), "") << what;
        EXPECT_FALSE(editor.bAdd->isEnabled()) << what;
        QTest::mouseClick(editor.bAdd, Qt::LeftButton);
        EXPECT_EQ(ReadFile(dir.Dados() / "selecoes.xml"), before) << what;
        EXPECT_EQ(Rows(editor), rowsBefore) << what;
        ExpectListShowsTheFileSquad(editor, DiskSquad(Alemanha));
        messages.clear();
    };

    for (const char* typed : {",5", "0", "00", ",", "0,"}) {
        for (int attempt = 0; attempt < 2; ++attempt) { // twice: no second shirt 0
            EnterName(editor, "Novato");
            TypeNumber(editor, typed);
            QTest::keyClick(editor.eNumero, Qt::Key_Tab);
            expectRefusedOnce(typed);
        }
    }

    // Letters cannot be typed but can be pasted.
    for (const char* pasted : {"ab", "7a", " -"}) {
        QGuiApplication::clipboard()->setText(pasted);
        EnterName(editor, "Novato");
        TypeNumber(editor, "");
        QTest::keyClick(editor.eNumero, Qt::Key_V, Qt::ControlModifier);
        ASSERT_FALSE(editor.eNumero->text().isEmpty()) << pasted;
        QTest::keyClick(editor.eNumero, Qt::Key_Tab);
        expectRefusedOnce(pasted);
    }

    // 100 does not fit the box; a value set from outside is refused on adding.
    EnterName(editor, "Novato");
    editor.eNumero->SetValue(100);
    EnterName(editor, "Novato Cem");
    ASSERT_TRUE(editor.bAdd->isEnabled());
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    expectRefusedOnce("100");

    // An empty box is no number yet: nothing to refuse, nothing to add.
    EnterName(editor, "Novato");
    TypeNumber(editor, "");
    QTest::keyClick(editor.eNumero, Qt::Key_Tab);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(editor.bAdd->isEnabled());
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    EXPECT_EQ(ReadFile(dir.Dados() / "selecoes.xml"), before);

    // "7," is the whole number 7 and is added once.
    TypeNumber(editor, "7,");
    QTest::keyClick(editor.eNumero, Qt::Key_Tab);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(editor.bAdd->isEnabled());
    QTest::mouseClick(editor.bAdd, Qt::LeftButton);
    using Squad = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(DiskSquad(Alemanha), Squad({{3, "Jogador 3"}, {7, "Novato"}, {10, "Jogador 10"}}));
    ExpectListShowsTheFileSquad(editor, DiskSquad(Alemanha));
}

// Another player's number never gives a second player with that shirt: the
// rename question decides, and No saves nothing.
TEST_F(SquadEditorTest, AnotherPlayersNumberNeverGivesTwoPlayersOneShirt) {
    TformConvocados& editor = Open();
    const std::string before = ReadFile(dir.Dados() / "selecoes.xml");
    for (const auto reply : {QMessageBox::No, QMessageBox::Yes}) {
        messages.clear();
        answer = reply;
        ClickRow(editor, 0);
        Type(editor, "10", "Intruso");
        QTest::mouseClick(editor.bAdd, Qt::LeftButton);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Question);
        const auto disk = DiskSquad(Alemanha);
        ASSERT_EQ(disk.size(), 2u);
        EXPECT_EQ(disk[0], std::make_pair(3, std::string("Jogador 3")));
        EXPECT_EQ(disk[1].first, 10);
        EXPECT_EQ(disk[1].second, reply == QMessageBox::Yes ? "Intruso" : "Jogador 10");
        if (reply == QMessageBox::No) {
            EXPECT_EQ(ReadFile(dir.Dados() / "selecoes.xml"), before);
        }
        ExpectListShowsTheFileSquad(editor, disk);
    }
}

// The real message boxes, without scripted answers: a question opens on the
// default button it names.
TEST(MessageBoxes, QuestionsOpenWithTheirDefaultButton) {
    for (const auto requested : {QMessageBox::Yes, QMessageBox::No, QMessageBox::NoButton}) {
        QMessageBox::StandardButton focused = QMessageBox::NoButton;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            focused = box->standardButton(box->defaultButton());
            title = box->windowTitle();
            QTest::keyClick(box, Qt::Key_Return);
        });
        const auto chosen =
            Dialogs::Message(nullptr, "Pergunta?", Dialogs::TMessageKind::Question, requested);
        const auto expected = requested == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
        EXPECT_EQ(focused, expected);
        EXPECT_EQ(chosen, expected) << "Enter chooses the default button";
        EXPECT_EQ(title, "Torvel");
    }
}

} // namespace
