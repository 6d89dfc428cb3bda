#include "program_fixture.h"

#include "torvel_status.h"

#include <QEvent>
#include <QPrintDialog>
#include <QProcess>

#include <string>

namespace torvel_test {

pugi::xml_node TeamNode(const pugi::xml_document& teams, int team) {
    pugi::xml_node selecao = teams.document_element().first_child();
    for (int i = 0; i < team; ++i)
        selecao = selecao.next_sibling();
    return selecao;
}

void AddSquad(pugi::xml_document& teams, int team, const std::vector<int>& shirts) {
    pugi::xml_node squad = TeamNode(teams, team).child("Convocados");
    for (int shirt : shirts) {
        pugi::xml_node jogador = squad.append_child("Jogador");
        jogador.append_attribute("No") = shirt;
        jogador.append_child("Nome").text() = ("Jogador " + std::to_string(shirt)).c_str();
    }
}

namespace {
pugi::xml_node Side(pugi::xml_document& matches, int m, int s) {
    pugi::xml_node jogo = matches.document_element().first_child();
    for (int i = 0; i < m; ++i)
        jogo = jogo.next_sibling();
    pugi::xml_node equipe = jogo.child("equipes").first_child();
    return s == 0 ? equipe : equipe.next_sibling();
}
} // namespace

void AddParticipant(pugi::xml_document& matches, int m, int s, int shirt, int gols) {
    pugi::xml_node jogador = Side(matches, m, s).child("artilheiros").append_child("jogador");
    jogador.append_attribute("No") = shirt;
    jogador.append_attribute("Gols") = gols;
}

void SetResult(pugi::xml_document& matches, int m, int goals0, int goals1) {
    Side(matches, m, 0).child("gols").attribute("Quant") = goals0;
    Side(matches, m, 1).child("gols").attribute("Quant") = goals1;
}

void SetGroupResultsInSlotOrder(pugi::xml_document& matches, int lastMatch) {
    static constexpr int pairings[6][2] = {{0, 1}, {2, 3}, {0, 2}, {3, 1}, {3, 0}, {1, 2}};
    for (int m = 0; m <= lastMatch; ++m)
        SetResult(matches, m, 4 - pairings[m % 6][0], 4 - pairings[m % 6][1]);
}

void CopyShippedFlag(const TempProgramDir& dir, const std::string& file) {
    const std::filesystem::path band = dir.Dados() / "band";
    std::filesystem::create_directories(band);
    std::filesystem::copy_file(std::filesystem::path(TORVEL_SHIPPED_FLAGS) / file, band / file,
                               std::filesystem::copy_options::overwrite_existing);
}

pugi::xml_document LoadDocument(const std::filesystem::path& path) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file(path.c_str())) << path;
    return document;
}

QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(30000);
    EXPECT_TRUE(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PrintToPdf(TformTorvel& window, const QString& path,
               const std::function<void(QPrinter&)>& setUp) {
    int dialogs = 0;
    const Dialogs::TScriptedModals printerChoice([&](QDialog& dialog) {
        QPrinter* printer = dynamic_cast<QPrintDialog&>(dialog).printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
        if (setUp)
            setUp(*printer);
        ++dialogs;
        return int(QDialog::Accepted);
    });
    window.bImprimir->click();
    return dialogs;
}

QStringList PdfPages(const QString& path) {
    QStringList pages = RunTool("pdftotext", {"-layout", path, "-"}).split('\f');
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.pop_back();
    return pages;
}

namespace {
// The text lines of a page that are not blank.
QStringList Lines(const QString& page) {
    QStringList lines;
    for (const QString& line : page.split('\n'))
        if (!line.trimmed().isEmpty())
            lines.push_back(line.trimmed());
    return lines;
}
} // namespace

QString NamesLine(const QString& team0, const QString& team1) {
    return QString("%1 ____ X ____ %2").arg(team0.rightJustified(15), team1).trimmed();
}

std::vector<std::pair<QString, QString>> PrintedBlocks(const QStringList& pages,
                                                       const QString& phase) {
    std::vector<std::pair<QString, QString>> blocks;
    for (int p = 0; p < pages.size(); ++p) {
        const QStringList lines = Lines(pages[p]);
        EXPECT_FALSE(lines.isEmpty());
        if (lines.isEmpty())
            continue;
        EXPECT_EQ(lines[0], "Tabela da Torvel - " + phase + " - Página " + QString::number(p + 1));
        for (int i = 1; i + 1 < lines.size(); ++i)
            if (lines[i].endsWith("(Horário de Brasília)"))
                blocks.emplace_back(lines[i], lines[i + 1]);
    }
    return blocks;
}

ProgramTest::ProgramTest()
    : scriptedMessages([this](const Dialogs::TMessage& message) {
          messages.push_back(message);
          return message.kind == Dialogs::TMessageKind::Question ? answer : QMessageBox::Ok;
      }) {
    MakeTeamDocument(teams);
    MakeMatchDocument(matches);
    CreateWebClient = [] { return std::unique_ptr<TWebClient>(); };
}

ProgramTest::~ProgramTest() {
    program.reset();
    CreateWebClient = savedCreateWebClient;
    UpdateServer = savedUpdateServer;
}

void ProgramTest::Start() {
    dir.WriteTeams(teams);
    dir.WriteMatches(matches);
    program = std::make_unique<TTorvelProgram>(dir.Path());
    program->FormTorvel.show();
}

int ProgramTest::RowOfMatch(int m) const {
    for (size_t r = 0; r < MatchRows.size(); ++r)
        if (MatchRows[r] == m)
            return static_cast<int>(r);
    ADD_FAILURE() << "match " << m << " has no row";
    return 0;
}

TOnStatusShown::TOnStatusShown(std::function<void()> onShown) : onShown_(std::move(onShown)) {
    formStatus->installEventFilter(this);
}

TOnStatusShown::~TOnStatusShown() {
    if (formStatus)
        formStatus->removeEventFilter(this);
}

bool TOnStatusShown::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Show)
        onShown_();
    return false;
}

pugi::xml_node ProgramTest::DiskSide(int m, int s) const {
    diskMatches_ = LoadDocument(dir.Dados() / "jogos.xml");
    return Side(diskMatches_, m, s);
}

pugi::xml_node ProgramTest::DiskTeam(int t) const {
    diskTeams_ = LoadDocument(dir.Dados() / "selecoes.xml");
    return TeamNode(diskTeams_, t);
}

} // namespace torvel_test
