#include "torvel_main.h"

#include "controls.h"
#include "design_font.h"
#include "dialogs.h"
#include "hand_cursor.h"
#include "torvel_application.h"
#include "torvel_artilheiros.h"
#include "torvel_convocados.h"
#include "torvel_database.h"
#include "torvel_print.h"
#include "torvel_qualification.h"
#include "torvel_status.h"
#include "torvel_webupdate.h"
#include "tournament_rules.h"
#include "window_enabling.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include <stdexcept>
#include <utility>

using namespace torvel_db_jogos;
using namespace torvel_db_selecoes;

namespace {

constexpr int PanelWidth = 640;
constexpr int PanelHeight = 480;
constexpr int ScoreBoxWidth = 25;
constexpr int RowHeight = 21;

const QString NoSquadMessage = QStringLiteral(
    "Antes de definir quem jogou esta partida e a quem pertenceram os gols, é necessário "
    "cadastrar os jogadores convocados de cada seleção. Para isso, clique no botão "
    "\"Jogadores Convocados\"");

// The phase headers and the rows they stand above.
struct TPhaseHeader {
    const char* text;
    int row;
};
const std::vector<TPhaseHeader> GroupHeaders = {{"Primeira Fase", 0}};
const std::vector<TPhaseHeader> KnockoutHeaders = {{"Oitavas de Final", 0},
                                                   {"Quartas de Final", 8},
                                                   {"Semi-Finais", 12},
                                                   {"Final - Terceiro e Quarto Lugares", 14},
                                                   {"Final - Primeiro e Segundo Lugares", 15}};

// A row control's font: only size and style are chosen, the face stays that
// of a newly created control.
QFont RowFont(int points, bool bold) {
    QFont font(QApplication::font().family(), points);
    font.setBold(bold);
    return font;
}

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

int32_t ReadGoals(int32_t m, int32_t s) {
    try {
        return GoalsOf(m, s);
    } catch (const std::exception&) {
        return -1; // an unreadable result shows as none
    }
}

// "Grupo A - Estádio - 12/06/2014 - 17h00min (Horário de Brasília)"; the
// knockout phase leaves out the group.
QString MatchHeader(int phase, int32_t m, int32_t team0) {
    const IXMLJogoType jogo = TorvelDatabase->Match(m);
    const QString data = Text(jogo.data());
    const QString hora = Text(jogo.hora());
    QString header;
    if (phase == 1)
        header = "Grupo " + Text(TorvelDatabase->Team(team0).Grupo()).left(1) + " - ";
    return header + Text(jogo.estadio()) + " - " + data.mid(6, 2) + "/" + data.mid(4, 2) + "/" +
           data.left(4) + " - " + hora.left(2) + "h" + hora.mid(2, 2) + "min (Horário de Brasília)";
}

bool HasSquad(int32_t team) {
    return TorvelDatabase->Team(team).Convocados().Count() > 0;
}

} // namespace

TformTorvel::TformTorvel(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setupUi(this);
    formTorvel = this;
    FormCreate();
}

TformTorvel::~TformTorvel() {
    if (formTorvel == this)
        formTorvel = nullptr;
}

void TformTorvel::FormCreate() {
    setWindowTitle(QApplication::applicationName());
    setFont(DesignFont("Arial", 11));
    for (QLabel* caption : {lSelecao1, lGols, lSelecao2})
        caption->setFont(DesignFont("Arial", 13, true));

    for (QWidget* control :
         std::initializer_list<QWidget*>{bConvocados, bRankingGeral, bRankingArtilheiros,
                                         bWebUpdate, bSair, cFases, bGrupos, bImprimir})
        control->setCursor(HandCursor());

    for (QWidget* black : {static_cast<QWidget*>(this), panelBase})
        FillBackground(black, Qt::black);
    // The caption panel keeps the face of an ordinary panel.
    QPalette face = pJogosCaption->palette();
    face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    face.setColor(QPalette::WindowText, Qt::black);
    pJogosCaption->setPalette(face);
    pJogosCaption->setAutoFillBackground(true);
    QPalette white = scrJogosContents->palette();
    white.setColor(QPalette::Window, Qt::white);
    scrJogos->viewport()->setPalette(white);
    scrJogos->viewport()->setAutoFillBackground(true);
    scrJogosContents->setPalette(white);
    scrJogosContents->setAutoFillBackground(true);
    scrJogos->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    try {
        webClient = CreateWebClient();
    } catch (const std::exception&) {
        webClient.reset();
    }
    bWebUpdate->setEnabled(webClient != nullptr);

    iFundo->setPixmap(BackgroundPicture());

    connect(cFases, &QComboBox::currentIndexChanged, this,
            [this] { RunHandler([this] { cFasesChange(); }); });
    connect(bConvocados, &QPushButton::clicked, this,
            [this] { RunHandler([this] { bConvocadosClick(); }); });
    connect(bSair, &QPushButton::clicked, this, [this] { RunHandler([this] { bSairClick(); }); });
    connect(bWebUpdate, &QPushButton::clicked, this,
            [this] { RunHandler([this] { bWebUpdateClick(); }); });
    connect(bImprimir, &QPushButton::clicked, this,
            [this] { RunHandler([this] { bImprimirClick(); }); });
    connect(bGrupos, &QPushButton::clicked, this,
            [this] { RunHandler([this] { bGruposClick(); }); });
    connect(bRankingGeral, &QPushButton::clicked, this,
            [this] { RunHandler([this] { bRankingGeralClick(); }); });
    connect(bRankingArtilheiros, &QPushButton::clicked, this,
            [this] { RunHandler([this] { bRankingArtilheirosClick(); }); });
}

// The window is black whether enabled or not, and its controls keep their look
// while it is disabled: enabling it again repaints nothing.
void TformTorvel::changeEvent(QEvent* event) {
    if (event->type() != QEvent::EnabledChange)
        QWidget::changeEvent(event);
}

void TformTorvel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!std::exchange(shown_, true))
        RunHandler([this] { FormShow(); });
}

void TformTorvel::FormShow() {
    // Data that failed to open is repaired by the web update; without an HTTP
    // client the program cannot go on.
    if (LoadFailed) {
        if (!bWebUpdate->isEnabled()) {
            Dialogs::Message(this, "Não é possível atualizar a base de dados via Internet.",
                             Dialogs::TMessageKind::Stop);
            RequestTermination();
            return;
        }
        try {
            bWebUpdateClick();
        } catch (const std::exception&) {
            // The table below shows whatever data there is, or why there is none.
        }
        if (terminateRequested_)
            return;
    }
    LoadFailed = false;
    {
        const QSignalBlocker blocker(cFases);
        cFases->setCurrentIndex(0);
    }
    ShowPhase();
}

void TformTorvel::RequestTermination() {
    terminateRequested_ = true;
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TformTorvel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TformTorvel::FormResize() {
    const QRect outer = frameGeometry();
    panelBase->move((outer.width() - PanelWidth) / 2, (outer.height() - PanelHeight) / 2);
}

void TformTorvel::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TformTorvel::FormClose() {
    resize(1, height());
    resize(1, 1);
    webClient.reset();
}

void TformTorvel::cFasesChange() {
    ShowPhase();
}

void TformTorvel::ShowPhase() {
    scrJogos->hide();
    pJogosCaption->hide();
    bGrupos->setVisible(cFases->currentIndex() == 0);
    SetWindowEnabled(*this, false);
    formStatus->lStatus->setText("Aguarde. Carregando tabela...");
    formStatus->show();
    QApplication::processEvents();

    // The window comes back whatever happens while the phase loads.
    struct TRestore {
        TformTorvel* window;
        ~TRestore() {
            for (QWidget* shown :
                 std::initializer_list<QWidget*>{window->scrJogos, window->pJogosCaption}) {
                shown->show();
                // Qt asks for the paint of a shown control only at its next
                // pass of the message loop; asked now, the table is painted by
                // the pass that follows the load.
                shown->update();
            }
            SetWindowEnabled(*window, true);
            formStatus->close();
        }
    } restore{this};
    LoadPhase(cFases->currentIndex() + 1);
}

void TformTorvel::LoadPhase(int phase) {
    ClearRows();
    if (!TorvelDatabase->XMLJogos.Active() || !TorvelDatabase->XMLSelecoes.Active())
        throw std::runtime_error("Não foi possível carregar a tabela, pois os arquivos de dados "
                                 "não estão abertos: " +
                                 LoadFailedReason);
    UpdateQualification();
    BuildRows(phase);
    FillRows(phase);
}

void TformTorvel::bConvocadosClick() {
    Dialogs::ShowModal(*formConvocados);
}

void TformTorvel::bSairClick() {
    try {
        UpdateQualification();
    } catch (const std::exception&) {
        // Leaving must succeed even when the standings cannot be brought up to date.
    }
    close();
}

void TformTorvel::bImprimirClick() {
    PrintMatchTable(*this);
}

void TformTorvel::ClearRows() {
    scrJogos->verticalScrollBar()->setValue(0);
    // The controls go back to the pool hidden; the next phase shown takes them
    // again instead of creating its own.
    for (auto* list : {&lJogo, &lTime0, &lX, &lTime1, &lFase})
        for (QLabel* label : std::exchange(*list, {}))
            label->hide();
    for (auto* list : {&mGols0, &mGols1})
        for (QLineEdit* box : std::exchange(*list, {}))
            box->hide();
    for (QPushButton* button : std::exchange(bEscalacao, {}))
        button->hide();
    for (QFrame* frame : std::exchange(bvJogo, {}))
        frame->hide();
    MatchRows.clear();
}

QLineEdit* TformTorvel::CreateScoreBox() {
    auto* box = new QLineEdit(scrJogosContents);
    box->setFont(RowFont(10, false));
    box->resize(ScoreBoxWidth, RowHeight);
    box->setMaxLength(2);
    box->setAlignment(Qt::AlignCenter);
    box->setTextMargins(0, 2, 0, 0);
    box->installEventFilter(this);
    connect(box, &QLineEdit::textChanged, this,
            [this, box] { RunHandler([this, box] { ScoreChange(box); }); });
    return box;
}

TformTorvel::TRowControls TformTorvel::PooledRow(size_t r) {
    if (r < rowPool_.size())
        return rowPool_[r];
    QWidget* const table = scrJogosContents;
    TRowControls row;
    row.jogo = new QLabel(table);
    row.jogo->setFont(RowFont(9, true));
    row.gols0 = CreateScoreBox();
    row.gols1 = CreateScoreBox();
    for (QLabel** name : {&row.time0, &row.x, &row.time1}) {
        *name = new QLabel(table);
        (*name)->setFont(RowFont(10, true));
    }
    row.x->setText("X");
    AutoSize(row.x);
    QPushButton* const lineup = new QPushButton("Escalação e Artilheiros", table);
    lineup->setFont(RowFont(10, false));
    lineup->setCursor(HandCursor());
    connect(lineup, &QPushButton::clicked, this,
            [this, lineup] { RunHandler([this, lineup] { LineupClick(lineup); }); });
    row.escalacao = lineup;
    row.frame = new QFrame(table);
    row.frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    // Behind every other control of the table; rows never overlap, so the
    // frame stays behind its row's controls whichever phase takes it later.
    row.frame->lower();
    rowPool_.push_back(row);
    return row;
}

QLabel* TformTorvel::PooledPhaseHeader(size_t h) {
    while (h >= phaseHeaderPool_.size()) {
        auto* label = new QLabel(scrJogosContents);
        QFont font = label->font();
        font.setPointSize(12);
        font.setBold(true);
        label->setFont(font);
        phaseHeaderPool_.push_back(label);
    }
    return phaseHeaderPool_[h];
}

void TformTorvel::BuildRows(int phase) {
    const int rows = phase == 1 ? GroupMatchCount : MatchCount - GroupMatchCount;
    const std::vector<TPhaseHeader>& headers = phase == 1 ? GroupHeaders : KnockoutHeaders;
    // A control taken from the pool is shown enabled, as a new one is.
    const auto show = [](QWidget* control) {
        control->setEnabled(true);
        control->show();
    };
    for (size_t h = 0; h < headers.size(); ++h) {
        QLabel* label = PooledPhaseHeader(h);
        label->setText(QString::fromUtf8(headers[h].text));
        labelSizes_.Fit(label);
        lFase.push_back(label);
    }

    int y = 0;
    for (int r = 0; r < rows; ++r) {
        for (size_t h = 0; h < headers.size(); ++h)
            if (headers[h].row == r) {
                lFase[h]->move(5, r == 0 ? 5 : y);
                y = lFase[h]->y() + lFase[h]->height() + 6;
                show(lFase[h]);
            }

        // A row taken from the pool starts as a new one would: no texts, no
        // tags.
        const TRowControls row = PooledRow(static_cast<size_t>(r));
        QLabel* const header = row.jogo;
        header->clear();
        header->move(9, y);
        labelSizes_.Fit(header);
        y += header->height() + 5;
        show(header);
        lJogo.push_back(header);

        const int lefts[2] = {lSelecao1->x() + lSelecao1->width() + 8,
                              lSelecao2->x() - ScoreBoxWidth - 8};
        QLineEdit* const boxes[2] = {row.gols0, row.gols1};
        for (int s = 0; s < 2; ++s) {
            SetScoreText(boxes[s], -1);
            SetTag(boxes[s], 0);
            boxes[s]->move(lefts[s], y);
            show(boxes[s]);
        }
        mGols0.push_back(row.gols0);
        mGols1.push_back(row.gols1);

        row.time0->clear();
        row.time1->clear();
        for (QLabel* name : {row.time0, row.x, row.time1}) {
            labelSizes_.Fit(name);
            name->move(0, y - 1 + (RowHeight - name->height()) / 2);
        }
        row.x->move(lGols->x() + lGols->width() / 2 - row.x->width() / 2, row.x->y());
        row.time1->move(lSelecao2->x(), row.time1->y());
        for (QLabel* name : {row.time0, row.x, row.time1})
            show(name);
        lTime0.push_back(row.time0);
        lX.push_back(row.x);
        lTime1.push_back(row.time1);

        QPushButton* const lineup = row.escalacao;
        SetTag(lineup, 0);
        lineup->setGeometry(380, y, 170, RowHeight);
        show(lineup);
        bEscalacao.push_back(lineup);

        QFrame* const frame = row.frame;
        const int frameTop = header->y() - 4;
        frame->setGeometry(5, frameTop, lineup->x() + lineup->width() + 4,
                           row.gols0->y() + RowHeight + 5 - frameTop);
        show(frame);
        bvJogo.push_back(frame);

        y += RowHeight + 12;
    }
    dMargin->move(dMargin->x(), y - 3);
    scrJogosContents->resize(scrJogos->width() - scrJogos->verticalScrollBar()->sizeHint().width(),
                             dMargin->y() + dMargin->height());
}

void TformTorvel::SetScoreText(QLineEdit* box, int32_t goals) {
    const QSignalBlocker blocker(box);
    box->setText(goals >= 0 ? QString::number(goals) : QString());
}

void TformTorvel::FillRows(int phase) {
    ResetUnplayedParticipantGoals();

    if (phase == 1) {
        MatchRows.clear();
        for (int32_t m = 0; m < GroupMatchCount; ++m)
            MatchRows.push_back(m);
        TorvelDatabase->SortMatchesByDate(MatchRows);
    } else if (MatchRows.size() != static_cast<size_t>(MatchCount - GroupMatchCount)) {
        MatchRows.clear();
        for (int32_t m = FirstKnockoutMatch; m < MatchCount; ++m)
            MatchRows.push_back(m);
        TorvelDatabase->SortMatchesByDate(MatchRows);
    }

    for (size_t row = 0; row < MatchRows.size(); ++row) {
        const int r = static_cast<int>(row);
        const int32_t m = MatchRows[row];
        const int32_t t0 = TeamOf(m, 0);
        const int32_t t1 = TeamOf(m, 1);
        lJogo[r]->setText(MatchHeader(phase, m, t0));
        labelSizes_.Fit(lJogo[r]);
        if (t0 < 0 || t1 < 0) {
            if (phase == 2) {
                lTime0[r]->clear();
                lTime1[r]->clear();
            }
        } else {
            QLineEdit* boxes[2] = {mGols0[r], mGols1[r]};
            for (int32_t s = 0; s < 2; ++s) {
                SetScoreText(boxes[s], ReadGoals(m, s));
                SetTag(boxes[s], PackTag(m, s));
            }
            SetTag(bEscalacao[r], PackTag(m, r));
            lTime0[r]->setText(Text(TorvelDatabase->Team(t0).Nome()));
            lTime1[r]->setText(Text(TorvelDatabase->Team(t1).Nome()));
        }
        for (QLabel* name : {lTime0[r], lTime1[r]})
            name->resize(labelSizes_.Of(name->font(), name->text()).width(), name->height());
        lTime0[r]->move(lSelecao1->x() + lSelecao1->width() - lTime0[r]->width(), lTime0[r]->y());
    }
    EnableRows();
}

void TformTorvel::EnableRows() {
    for (size_t r = 0; r < lTime0.size(); ++r) {
        const bool known = !lTime0[r]->text().trimmed().isEmpty();
        for (QLineEdit* box : {mGols0[r], mGols1[r]}) {
            box->setEnabled(known);
            if (!known)
                SetScoreText(box, -1);
        }
        bEscalacao[r]->setEnabled(known);
    }
}

bool TformTorvel::eventFilter(QObject* watched, QEvent* event) {
    // ScoreKeyPress: only digits and control keys reach a score box.
    if (IsRefusedGoalKey(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TformTorvel::ScoreChange(QLineEdit* box) {
    const QString text = box->text().trimmed();
    const int32_t m = TagUpper(Tag(box));
    const int32_t s = TagLower(Tag(box));
    int32_t value = -1;
    if (!text.isEmpty()) {
        bool ok = false;
        value = text.toInt(&ok);
        if (!ok)
            throw std::invalid_argument("'" + text.toStdString() +
                                        "' não é um valor inteiro válido");
    }

    // An entry for the teams the match has now replaces one made for others.
    ClaimSide(m, s);
    const IXMLEquipeType equipe = TorvelDatabase->Side(m, s);
    if (!SkipScorerReset)
        ResetParticipantGoals(equipe);
    SkipScorerReset = false;

    if (m < FirstKnockoutMatch) {
        if (equipe.gols().Quant() != value) {
            // A changed group result voids the group's decisions by lot.
            const int g = GroupIndexOf(TorvelDatabase->Team(TeamOf(m, s)).Grupo());
            for (int t = g * TeamsPerGroup; t < (g + 1) * TeamsPerGroup; ++t) {
                const IXMLSelecaoType selecao = TorvelDatabase->Team(t);
                selecao.SetGrupo(selecao.Grupo().substr(0, 1));
            }
            TorvelDatabase->XMLSelecoes.SaveToFile();
            equipe.gols().SetQuant(value);
        }
    } else {
        equipe.gols().SetQuant(value);
        FillRows(2);
    }
    TorvelDatabase->XMLJogos.SaveToFile();
}

void TformTorvel::LineupClick(QPushButton* button) {
    const int row = TagLower(Tag(button));
    const int32_t m = TagUpper(Tag(button));
    formArtilheiros->nSelecao0 = TeamOf(m, 0);
    formArtilheiros->nSelecao1 = TeamOf(m, 1);
    formArtilheiros->nJogo = m;
    if (!HasSquad(formArtilheiros->nSelecao0) || !HasSquad(formArtilheiros->nSelecao1)) {
        Dialogs::Message(this, NoSquadMessage, Dialogs::TMessageKind::Stop);
        return;
    }

    Dialogs::ShowModal(*formArtilheiros);
    IXMLEquipesType equipes = TorvelDatabase->Match(m).equipes();
    const int32_t scores[2] = {formArtilheiros->nPlacar0, formArtilheiros->nPlacar1};
    QLineEdit* boxes[2] = {mGols0[row], mGols1[row]};
    if (scores[0] >= 0 && scores[1] >= 0) {
        for (int s = 0; s < 2; ++s) {
            equipes[s].gols().SetQuant(scores[s]);
            const QString text = QString::number(scores[s]);
            if (boxes[s]->text() != text) {
                // The goals attributed in the dialog stay.
                SkipScorerReset = true;
                boxes[s]->setText(text);
            }
        }
        SkipScorerReset = false;
    } else {
        for (int s = 0; s < 2; ++s) {
            // A result entered for other teams stays theirs.
            if (SideCounts(m, s))
                equipes[s].gols().SetQuant(-1);
            SetScoreText(boxes[s], -1);
        }
    }
    TorvelDatabase->XMLJogos.SaveToFile();
    TorvelDatabase->XMLSelecoes.SaveToFile();
}
