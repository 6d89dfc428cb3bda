#include "torvel_artilheiros.h"

#include "controls.h"
#include "design_font.h"
#include "dialogs.h"
#include "hand_cursor.h"
#include "torvel_application.h"
#include "torvel_database.h"
#include "torvel_qualification.h"
#include "torvel_ranking.h"

#include <QSignalBlocker>

#include <stdexcept>

using torvel_db_jogos::IXMLArtilheirosType;
using torvel_db_selecoes::IXMLConvocadosType;
using torvel_db_selecoes::IXMLSelecaoType;
using TSquadPlayer = torvel_db_selecoes::IXMLJogadorType;
using TParticipant = torvel_db_jogos::IXMLJogadorType;

namespace {

constexpr int MaxParticipants = 14;

// The shirt number a list row starts with.
int32_t ShirtOf(const QString& row) {
    bool ok = false;
    const int32_t shirt = row.left(2).trimmed().toInt(&ok);
    if (!ok)
        throw std::invalid_argument("'" + row.left(2).toStdString() +
                                    "' não é um valor inteiro válido");
    return shirt;
}

IXMLArtilheirosType Participants(int32_t jogo, int side) {
    return TorvelDatabase->Jogos[jogo].equipes()[side].artilheiros();
}

// The score of a side: the sum of its entered goal counts, -1 when none is.
int32_t SideScore(const IXMLArtilheirosType& participants) {
    int32_t score = -1;
    for (int i = 0; i < participants.Count(); ++i) {
        const int32_t gols = participants[i].Gols();
        if (gols >= 0)
            score = std::max(score, 0) + gols;
    }
    return score;
}

} // namespace

TformArtilheiros::TformArtilheiros(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setupUi(this);
    formArtilheiros = this;
    sides_[0] = {lEquipe0, cEquipe0, bAdd0, listEquipe0, bDel0, lGols0, eGols0};
    sides_[1] = {lEquipe1, cEquipe1, bAdd1, listEquipe1, bDel1, lGols1, eGols1};
    FormCreate();
}

TformArtilheiros::~TformArtilheiros() {
    if (formArtilheiros == this)
        formArtilheiros = nullptr;
}

void TformArtilheiros::FormCreate() {
    setWindowTitle(QApplication::applicationName());
    setFixedSize(531, 279);
    setFont(DesignFont("MS Sans Serif", 11));
    Label1->setFont(DesignFont("MS Sans Serif", 13, true));
    AutoSize(Label1);
    lPlacar->setFont(DesignFont("MS Sans Serif", 12, true));
    Button1->setCursor(HandCursor());
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    for (int side = 0; side < 2; ++side) {
        const TSide& controls = sides_[side];
        QFont bold = controls.lEquipe->font();
        bold.setBold(true);
        controls.lEquipe->setFont(bold);
        for (QWidget* clickable :
             std::initializer_list<QWidget*>{controls.cEquipe, controls.listEquipe, controls.bDel})
            clickable->setCursor(HandCursor());
        for (QObject* control : std::initializer_list<QObject*>{
                 controls.lEquipe, controls.cEquipe, controls.bAdd, controls.listEquipe,
                 controls.bDel, controls.lGols, controls.eGols})
            SetTag(control, side);
        controls.eGols->installEventFilter(this);

        QObject* const add = controls.bAdd;
        QObject* const del = controls.bDel;
        QObject* const list = controls.listEquipe;
        QObject* const goals = controls.eGols;
        connect(controls.bAdd, &QPushButton::clicked, this,
                [this, add] { RunHandler([this, add] { bAddClick(add); }); });
        connect(controls.bDel, &QPushButton::clicked, this,
                [this, del] { RunHandler([this, del] { bDelClick(del); }); });
        connect(controls.listEquipe, &QListWidget::currentRowChanged, this,
                [this, list] { RunHandler([this, list] { listEquipeClick(list); }); });
        connect(controls.eGols, &QLineEdit::textChanged, this,
                [this, goals] { RunHandler([this, goals] { eGolsChange(goals); }); });
    }
}

void TformArtilheiros::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RunHandler([this] { FormShow(); });
}

void TformArtilheiros::FormShow() {
    cEquipe0->setFocus();
    FillSide(0);
    FillSide(1);
    eGolsChange(eGols0);
}

void TformArtilheiros::FillSide(int side) {
    const TSide& controls = sides_[side];
    const IXMLSelecaoType selecao = TorvelDatabase->Selecoes[Team(side)];
    controls.lEquipe->setText(QString::fromStdString(selecao.Nome()));
    controls.lGols->clear();
    {
        const QSignalBlocker blocker(controls.listEquipe);
        controls.listEquipe->clear();
    }
    controls.eGols->clear();
    controls.cEquipe->clear();

    const IXMLConvocadosType squad = selecao.Convocados();
    for (int i = 0; i < squad.Count(); ++i)
        controls.cEquipe->addItem(ShirtRow(squad[i].No(), squad[i].Nome()));
    controls.cEquipe->setCurrentIndex(controls.cEquipe->count() > 0 ? 0 : -1);

    // Participants entered for other teams are not this match's.
    const IXMLArtilheirosType participants = Participants(nJogo, side);
    const int count = SideCounts(nJogo, side) ? participants.Count() : 0;
    for (int i = 0; i < count; ++i) {
        const int32_t shirt = participants[i].No();
        const TSquadPlayer player = SquadPlayer(Team(side), shirt);
        controls.listEquipe->addItem(player
                                         ? ShirtRow(shirt, player.Nome())
                                         : QString::asprintf("%2.2d - Camisa %2.2d", shirt, shirt));
    }
    controls.bAdd->setEnabled(controls.cEquipe->count() > 0);
    {
        const QSignalBlocker blocker(controls.listEquipe);
        controls.listEquipe->setCurrentRow(controls.listEquipe->count() > 0 ? 0 : -1);
    }
    listEquipeClick(controls.listEquipe);
}

void TformArtilheiros::listEquipeClick(QObject* sender) {
    const TSide& controls = sides_[Tag(sender)];
    const int side = Tag(sender);
    QListWidget* const list = controls.listEquipe;
    controls.lGols->clear();
    controls.bDel->setEnabled(list->count() > 0);
    const int row = list->currentRow();
    const bool selected = row >= 0 && row < list->count();
    controls.eGols->setEnabled(selected);
    if (!selected)
        return;

    const QString text = list->item(row)->text();
    const int32_t shirt = ShirtOf(text);
    controls.lGols->setText("Gols de" + text.mid(4));
    const IXMLArtilheirosType participants = Participants(nJogo, side);
    for (int i = 0; i < participants.Count(); ++i)
        if (participants[i].No() == shirt) {
            const int32_t gols = participants[i].Gols();
            controls.eGols->setText(gols >= 0 ? QString::number(gols) : QString());
            break;
        }
}

bool TformArtilheiros::eventFilter(QObject* watched, QEvent* event) {
    // eGolsKeyPress: only digits and control keys reach a goal box.
    if (IsRefusedGoalKey(event))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TformArtilheiros::eGolsChange(QObject* sender) {
    const int side = Tag(sender);
    const TSide& controls = sides_[side];
    bool ok = false;
    int32_t value = controls.eGols->text().trimmed().toInt(&ok);
    if (!ok)
        value = -1; // an empty or pasted non-numeric text means no goals entered
    const int row = controls.listEquipe->currentRow();
    if (row >= 0 && row < controls.listEquipe->count())
        Participants(nJogo, side)[row].SetGols(value);
    ShowScore();
}

void TformArtilheiros::ShowScore() {
    nPlacar0 = SideCounts(nJogo, 0) ? SideScore(Participants(nJogo, 0)) : -1;
    nPlacar1 = SideCounts(nJogo, 1) ? SideScore(Participants(nJogo, 1)) : -1;
    if (nPlacar0 < 0 || nPlacar1 < 0) {
        lPlacar->setText("Placar: indefinido");
        return;
    }
    lPlacar->setText(QString::asprintf(
        "Placar: %s  %d x %d  %s", TorvelDatabase->Selecoes[nSelecao0].Nome().c_str(), nPlacar0,
        nPlacar1, TorvelDatabase->Selecoes[nSelecao1].Nome().c_str()));
}

void TformArtilheiros::bAddClick(QObject* sender) {
    const int side = Tag(sender);
    const TSide& controls = sides_[side];
    // The first participant for these teams replaces what was entered for others.
    ClaimSide(nJogo, side);
    const IXMLArtilheirosType participants = Participants(nJogo, side);
    if (participants.Count() >= MaxParticipants) {
        Dialogs::Message(this,
                         "Não é possível incluir mais nenhum participante deste time na partida.",
                         Dialogs::TMessageKind::Stop);
        return;
    }
    const int32_t shirt = ShirtOf(controls.cEquipe->currentText());
    const TSquadPlayer player =
        TorvelDatabase->Selecoes[Team(side)].Convocados()[controls.cEquipe->currentIndex()];

    int position = participants.Count();
    for (int i = participants.Count() - 1; i >= 0; --i) {
        const int32_t no = participants[i].No();
        if (no == shirt) {
            Dialogs::Message(this, "Este jogador já está incluso na partida.",
                             Dialogs::TMessageKind::Stop);
            return;
        }
        if (no > shirt)
            position = i;
    }
    const TParticipant participant = participants.Insert(position);
    participant.SetNo(shirt);
    participant.SetGols(-1);

    {
        const QSignalBlocker blocker(controls.listEquipe);
        controls.listEquipe->insertItem(position, ShirtRow(shirt, player.Nome()));
        controls.listEquipe->setCurrentRow(position);
    }
    listEquipeClick(controls.listEquipe);
}

void TformArtilheiros::bDelClick(QObject* sender) {
    const int side = Tag(sender);
    const TSide& controls = sides_[side];
    QListWidget* const list = controls.listEquipe;
    const int row = list->currentRow();
    if (list->count() == 0 || row < 0)
        return;
    if (Dialogs::Message(
            this, "Deseja realmente remover este jogador da lista de participantes deste jogo?",
            Dialogs::TMessageKind::Question) == QMessageBox::Yes) {
        Participants(nJogo, side).Delete(row);
        {
            const QSignalBlocker listBlocker(list);
            delete list->takeItem(row);
            list->setCurrentRow(-1);
            const QSignalBlocker goalsBlocker(controls.eGols);
            controls.eGols->clear();
        }
        eGolsChange(controls.eGols);
    }
    listEquipeClick(listEquipe0);
    listEquipeClick(listEquipe1);
}
