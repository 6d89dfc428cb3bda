#include "torvel_db_jogos.h"
#include "torvel_db_selecoes.h"
#include "tournament_fixture.h"
#include "tournament_rules.h"
#include "xml_document.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace torvel_test;
namespace sel = torvel_db_selecoes;
namespace jog = torvel_db_jogos;

namespace {

void Parse(pugi::xml_document& document, const std::string& text) {
    ASSERT_TRUE(document.load_string(text.c_str(), pugi::parse_default | pugi::parse_comments |
                                                       pugi::parse_declaration));
}

} // namespace

TEST(GroupText, LetterIsReadCaseInsensitivelyAndLotRankFollowsIt) {
    EXPECT_EQ(GroupIndexOf("B"), 1);
    EXPECT_EQ(GroupIndexOf("b"), 1);
    EXPECT_EQ(GroupIndexOf("h3"), 7);
    EXPECT_EQ(GroupIndexOf("I"), -1);
    EXPECT_EQ(GroupIndexOf(""), -1);

    EXPECT_EQ(LotRankOf("C2"), 2);
    EXPECT_EQ(LotRankOf("c10"), 10);
    EXPECT_EQ(LotRankOf("C"), std::nullopt);
    EXPECT_EQ(LotRankOf("Cx"), std::nullopt);
    EXPECT_EQ(LotRankOf("C2x"), std::nullopt);
}

TEST(Bindings, MissingTextElementReadsEmptyAndIsSaved) {
    pugi::xml_document document;
    Parse(document, R"(<Selecoes><Selecao No="7"><Grupo>A</Grupo></Selecao></Selecoes>)");
    sel::IXMLSelecaoType selecao = sel::GetSelecoes(document)[0];
    EXPECT_EQ(selecao.Nome(), "");
    EXPECT_EQ(selecao.Grupo(), "A");
    EXPECT_NE(ToText(document).find("<Nome />"), std::string::npos) << ToText(document);
}

TEST(Bindings, IntegerAttributesConvertOrRaiseNamingElementAndAttribute) {
    pugi::xml_document document;
    Parse(document, R"(<jogos><jogo No="3"><equipes>
        <equipe No="1" Ident="12" Pos="" Grupo="c"><artilheiros><jogador No="9" Gols="x1"/></artilheiros></equipe>
        <equipe No="2" Ident="2147483648"><gols Quant="-1"/></equipe>
        </equipes></jogo></jogos>)");
    jog::IXMLJogoType jogo = jog::Getjogos(document)[0];
    EXPECT_EQ(jogo.No(), 3);
    jog::IXMLEquipeType side0 = jogo.equipes()[0];
    jog::IXMLEquipeType side1 = jogo.equipes()[1];
    EXPECT_EQ(side0.Ident(), 12);
    EXPECT_EQ(side0.Grupo(), "c");
    EXPECT_EQ(side1.gols().Quant(), -1);

    try {
        side0.gols().Quant();
        FAIL() << "a side without gols must not read a goal count";
    } catch (const EXMLConversionError& error) {
        EXPECT_NE(std::string(error.what()).find("gols"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("Quant"), std::string::npos);
    }
    // The read created the missing element with an empty attribute.
    EXPECT_TRUE(side0.DOMNode().child("gols").attribute("Quant"));
    EXPECT_THROW(side0.Pos(), EXMLConversionError);
    EXPECT_THROW(side0.artilheiros()[0].Gols(), EXMLConversionError);
    EXPECT_THROW(side1.Ident(), EXMLConversionError);
    EXPECT_THROW(side1.Pos(), EXMLConversionError);

    side0.SetPos(-2);
    side1.SetGrupo("H");
    EXPECT_EQ(side0.Pos(), -2);
    EXPECT_EQ(side1.Grupo(), "H");
}

TEST(Bindings, CollectionsCountInsertDeleteAndClear) {
    pugi::xml_document document;
    Parse(document, R"(<Selecoes><Selecao No="1"><Convocados>
        <Jogador No="3"/><!-- note --><Jogador No="10"/></Convocados></Selecao></Selecoes>)");
    sel::IXMLConvocadosType squad = sel::GetSelecoes(document)[0].Convocados();
    ASSERT_EQ(squad.Count(), 2);
    squad.Insert(1).SetNo(7);
    squad.Insert(3).SetNo(11);
    squad.Insert(0).SetNo(1);
    ASSERT_EQ(squad.Count(), 5);
    std::vector<int> numbers;
    for (int i = 0; i < squad.Count(); ++i)
        numbers.push_back(squad[i].No());
    EXPECT_EQ(numbers, (std::vector<int>{1, 3, 7, 10, 11}));

    squad.Delete(2);
    squad.Remove(squad[0]);
    ASSERT_EQ(squad.Count(), 3);
    EXPECT_EQ(squad[0].No(), 3);
    EXPECT_EQ(squad[1].No(), 10);
    EXPECT_THROW(squad[3], std::out_of_range);
    EXPECT_THROW(squad[-1], std::out_of_range);

    squad.Clear();
    EXPECT_EQ(squad.Count(), 0);
    // The comment is no item and stays.
    EXPECT_NE(ToText(document).find("<!-- note -->"), std::string::npos);
    sel::IXMLJogadorType added = squad.Add();
    EXPECT_EQ(std::string(added.DOMNode().name()), "Jogador");
    EXPECT_EQ(squad.Count(), 1);
}

class DocumentFiles : public ::testing::Test {
protected:
    TempProgramDir dir;
    std::filesystem::path file = dir.Dados() / "selecoes.xml";
};

TEST_F(DocumentFiles, SavingKeepsOrderAndUntouchedContent) {
    const std::string original = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<!-- publicado em 2014 -->\n"
                                 "<Selecoes versao=\"3\">\n"
                                 "\t<Selecao No=\"1\" Extra=\"x\">\n"
                                 "\t\t<Bandeira>bra.jpg</Bandeira>\n"
                                 "\t\t<Nome>Brasil</Nome>\n"
                                 "\t\t<Outro>não lido</Outro>\n"
                                 "\t\t<Grupo>A</Grupo>\n"
                                 "\t</Selecao>\n"
                                 "\t<Selecao No=\"2\">\n"
                                 "\t\t<Nome>Croácia</Nome>\n"
                                 "\t</Selecao>\n"
                                 "</Selecoes>\n";
    WriteFile(file, original);
    TXMLDocument document;
    document.FileName = file.string();
    document.Open();
    sel::IXMLSelecoesType selecoes = sel::GetSelecoes(document.Document());
    EXPECT_EQ(selecoes[0].Nome(), "Brasil");
    EXPECT_EQ(selecoes[1].Nome(), "Croácia");
    selecoes[0].SetGrupo("A1");
    selecoes[0].SetNo(1);
    document.SaveToFile();

    std::string expected = original;
    expected.replace(expected.find("<Grupo>A</Grupo>"), 16, "<Grupo>A1</Grupo>");
    EXPECT_EQ(ReadFile(file), expected);
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dados()), {}), 1);
}

TEST_F(DocumentFiles, Latin1FileRoundTripsUnchanged) {
    // "Seleção" and "São Paulo" in ISO-8859-1 bytes.
    const std::string original = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                 "<Selecoes>\n"
                                 "\t<Selecao No=\"1\">\n"
                                 "\t\t<Nome>Sele\xE7\xE3o</Nome>\n"
                                 "\t\t<Bandeira>S\xE3o Paulo.jpg</Bandeira>\n"
                                 "\t</Selecao>\n"
                                 "</Selecoes>\n";
    WriteFile(file, original);
    TXMLDocument document;
    document.FileName = file.string();
    document.Open();
    sel::IXMLSelecaoType selecao = sel::GetSelecoes(document.Document())[0];
    EXPECT_EQ(selecao.Nome(), "Seleção");
    EXPECT_EQ(selecao.Bandeira(), "São Paulo.jpg");
    document.SaveToFile();
    EXPECT_EQ(ReadFile(file), original);

    selecao.SetNome("Camarões");
    document.SaveToFile();
    EXPECT_NE(ReadFile(file).find("<Nome>Camar\xF5"
                                  "es</Nome>"),
              std::string::npos);
}

TEST_F(DocumentFiles, ASaveRenewsTheFileTimeAndReplacesAnyOtherContent) {
    WriteFile(file, "<?xml version=\"1.0\"?>\n<Selecoes><Selecao No=\"1\"/></Selecoes>\n");
    TXMLDocument document;
    document.FileName = file.string();
    document.Open();
    document.SaveToFile();
    const std::string saved = ReadFile(file);

    // Saved again unchanged: the same text, with the time of this save.
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365);
    std::filesystem::last_write_time(file, old);
    document.SaveToFile();
    EXPECT_EQ(ReadFile(file), saved);
    EXPECT_GT(std::filesystem::last_write_time(file), old + std::chrono::hours(24));

    // Changed on the disk to other text of the same size, and to a shorter
    // one: the save puts the document back.
    std::string other = saved;
    other.replace(other.find("No=\"1\""), 6, "No=\"7\"");
    for (const std::string& changed : {other, saved.substr(0, saved.size() / 2)}) {
        WriteFile(file, changed);
        document.SaveToFile();
        EXPECT_EQ(ReadFile(file), saved);
    }
}

TEST_F(DocumentFiles, FailedSaveLeavesThePreviousFile) {
    const std::string original = "<?xml version=\"1.0\"?>\n<Selecoes />\n";
    WriteFile(file, original);
    TXMLDocument document;
    document.FileName = file.string();
    document.Open();
    sel::GetSelecoes(document.Document()).Add().SetNome("Uma seleção de nome comprido");

    // A file size limit below the new document's size makes the write fail
    // (also for root, whom permissions would not stop).
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = original.size() + 4;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(document.SaveToFile(), EXMLDocumentError);
    ::setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(ReadFile(file), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dados()), {}), 1);
}

TEST_F(DocumentFiles, OpenReportsMissingAndMalformedFiles) {
    TXMLDocument document;
    document.FileName = file.string();
    try {
        document.Open();
        FAIL() << "opening a missing file must fail";
    } catch (const EXMLDocumentError& error) {
        EXPECT_NE(std::string(error.what()).find("selecoes.xml"), std::string::npos);
    }
    WriteFile(file, "<Selecoes><Selecao></Selecoes>");
    EXPECT_THROW(document.Open(), EXMLDocumentError);
    EXPECT_FALSE(document.Active());
    WriteFile(file, "<!-- only a comment -->");
    EXPECT_THROW(document.Open(), EXMLDocumentError);
}
