#include "torvel_convocados.h"

#include "controls.h"
#include "design_font.h"
#include "dialogs.h"
#include "hand_cursor.h"
#include "torvel_application.h"
#include "torvel_database.h"

#include <QCollator>
#include <QFileInfo>
#include <QImageReader>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <stdexcept>

using torvel_db_selecoes::IXMLConvocadosType;
using torvel_db_selecoes::IXMLJogadorType;
using torvel_db_selecoes::IXMLSelecaoType;

namespace {

const QString ReplaceQuestion = QStringLiteral(
    "Já existe um jogador cadastrado com este número de camisa. Substitui pelo novo nome?");
const QString RemoveQuestion =
    QStringLiteral("Deseja realmente excluir este jogador da lista de convocados?");
const QString InvalidShirt =
    QStringLiteral("Número de camisa inválido. Informe um número inteiro de 1 a 99.");

// Shirt numbers are whole numbers from 1 to 99.
bool IsShirtNumber(double number) {
    return number >= 1 && number <= 99 && std::trunc(number) == number;
}

} // namespace

TformConvocados::TformConvocados(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setupUi(this);
    formConvocados = this;
    FormCreate();
}

TformConvocados::~TformConvocados() {
    if (formConvocados == this)
        formConvocados = nullptr;
}

void TformConvocados::FormCreate() {
    setWindowTitle(QApplication::applicationName());
    setFixedSize(panelBase->size());
    for (QWidget* black : {static_cast<QWidget*>(this), panelBase})
        FillBackground(black, Qt::black);
    iFundo->setPixmap(BackgroundPicture());

    setFont(DesignFont("Arial", 16));
    // The captions stand on the dark background picture.
    for (QLabel* label : {Label3, Label1, lbBandeira, Label4, Label5}) {
        label->setFont(DesignFont("Arial", 16, true));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(palette);
        AutoSize(label);
    }
    for (QWidget* entry : std::initializer_list<QWidget*>{cbSelecoes, lbConvocados, eNumero, eNome})
        entry->setFont(DesignFont("Arial", 15));
    for (QWidget* button : {bAdd, bDel, bVoltar})
        button->setFont(DesignFont("Arial", 13));
    for (QWidget* clickable :
         std::initializer_list<QWidget*>{cbSelecoes, lbConvocados, bAdd, bDel, bVoltar})
        clickable->setCursor(HandCursor());

    connect(cbSelecoes, &QComboBox::currentIndexChanged, this,
            [this] { RunHandler([this] { cbSelecoesChange(); }); });
    connect(lbConvocados, &QListWidget::currentRowChanged, this,
            [this] { RunHandler([this] { lbConvocadosClick(); }); });
    connect(eNumero, &TNumericEdit::Exit, this, [this] { RunHandler([this] { eNumeroExit(); }); });
    connect(eNome, &QLineEdit::textChanged, this,
            [this] { RunHandler([this] { ActivateAdd(); }); });
    connect(bAdd, &QPushButton::clicked, this, [this] { RunHandler([this] { bAddClick(); }); });
    connect(bDel, &QPushButton::clicked, this, [this] { RunHandler([this] { bDelClick(); }); });
    connect(bVoltar, &QPushButton::clicked, this,
            [this] { RunHandler([this] { bVoltarClick(); }); });
}

void TformConvocados::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RunHandler([this] { FormShow(); });
}

void TformConvocados::FormShow() {
    move(screen()->geometry().center() - rect().center());

    QStringList names;
    const auto selecoes = TorvelDatabase->Selecoes;
    for (int i = 0; i < selecoes.Count(); ++i)
        names << QString::fromStdString(selecoes[i].Nome());
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(), collator);
    {
        const QSignalBlocker blocker(cbSelecoes);
        cbSelecoes->clear();
        cbSelecoes->addItems(names);
        cbSelecoes->setCurrentIndex(names.isEmpty() ? -1 : 0);
    }
    cbSelecoes->setFocus();
    if (cbSelecoes->count() > 0)
        cbSelecoesChange();
}

void TformConvocados::cbSelecoesChange() {
    eNumero->SetValue(0);
    eNome->clear();

    nSelecao = -1;
    const std::string nome = cbSelecoes->currentText().toStdString();
    const auto selecoes = TorvelDatabase->Selecoes;
    for (int i = 0; i < selecoes.Count() && nSelecao < 0; ++i)
        if (selecoes[i].Nome() == nome)
            nSelecao = i;

    if (nSelecao >= 0) {
        const IXMLSelecaoType selecao = selecoes[nSelecao];
        ShowFlag(selecao.Bandeira());
        ListSquad();
    }
    SelectRow(lbConvocados->count() > 0 ? 0 : -1);
    lbConvocadosClick();
}

void TformConvocados::ShowFlag(const std::string& file) {
    const QString path = QString::fromStdString(ProgramDir + "dados/band/" + file);
    if (!QFileInfo(path).isFile()) {
        bandeira->clear();
        return;
    }
    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull())
        throw std::runtime_error("Não foi possível carregar a bandeira " + path.toStdString() +
                                 ": " + reader.errorString().toStdString());
    bandeira->setPixmap(QPixmap::fromImage(picture));
}

void TformConvocados::ListSquad() {
    const QSignalBlocker blocker(lbConvocados);
    lbConvocados->clear();
    const IXMLConvocadosType squad = Squad();
    for (int i = 0; i < squad.Count(); ++i)
        lbConvocados->addItem(ShirtRow(squad[i].No(), squad[i].Nome()));
}

void TformConvocados::lbConvocadosClick() {
    const int row = lbConvocados->currentRow();
    {
        // Filling the boxes is no edit of the user's.
        const QSignalBlocker blocker(eNome);
        // Row i shows player i of the squad.
        if (row >= 0 && row < Squad().Count()) {
            const IXMLJogadorType jogador = Squad()[row];
            nConvocado = row;
            eNumero->SetValue(jogador.No());
            eNome->setText(QString::fromStdString(jogador.Nome()));
        } else {
            eNumero->SetValue(0);
            eNome->clear();
            nConvocado = -1;
        }
    }
    bDel->setEnabled(lbConvocados->count() > 0 && row >= 0);
    bAdd->setEnabled(!bDel->isEnabled() && eNumero->Value() != 0 &&
                     !eNome->text().trimmed().isEmpty());
}

void TformConvocados::eNumeroExit() {
    // An empty box is no number yet; anything else typed must be a shirt.
    if (!eNumero->ExitText().trimmed().isEmpty() && !IsShirtNumber(eNumero->Value())) {
        eNumero->SetValue(0);
        Dialogs::Message(this, InvalidShirt, Dialogs::TMessageKind::Stop);
    }
    ActivateAdd();
}

void TformConvocados::ActivateAdd() {
    const bool complete = !eNome->text().trimmed().isEmpty() && eNumero->Value() != 0;
    bAdd->setEnabled(complete);
    if (complete) {
        bDel->setEnabled(false);
        SelectRow(-1);
    }
}

void TformConvocados::bAddClick() {
    const double number = eNumero->Value();
    if (!IsShirtNumber(number)) {
        eNumero->SetValue(0);
        ActivateAdd();
        Dialogs::Message(this, InvalidShirt, Dialogs::TMessageKind::Stop);
        return;
    }
    const std::string name = eNome->text().trimmed().toStdString();
    const IXMLConvocadosType squad = Squad();

    if (const int existing = IndexOfShirt(number); existing >= 0) {
        if (Dialogs::Message(this, ReplaceQuestion, Dialogs::TMessageKind::Question,
                             QMessageBox::Yes) == QMessageBox::Yes) {
            squad[existing].SetNome(name);
            ListSquad();
            TorvelDatabase->XMLSelecoes.SaveToFile();
        }
    } else {
        int position = 0;
        while (position < squad.Count() && squad[position].No() <= number)
            ++position;
        const IXMLJogadorType jogador = squad.Insert(position);
        jogador.SetNome(name);
        jogador.SetNo(static_cast<int32_t>(number));
        ListSquad();
        SelectRow(position);
        nConvocado = position;
        TorvelDatabase->XMLSelecoes.SaveToFile();
    }
    lbConvocadosClick();
}

void TformConvocados::bDelClick() {
    // The player of the selected row goes, whatever the number box shows.
    const int player = lbConvocados->currentRow();
    if (player < 0 || player >= Squad().Count())
        return;
    if (Dialogs::Message(this, RemoveQuestion, Dialogs::TMessageKind::Question) != QMessageBox::Yes)
        return;
    Squad().Delete(player);
    ListSquad();
    nConvocado = std::min(player, lbConvocados->count() - 1);
    SelectRow(nConvocado);
    lbConvocadosClick();
    TorvelDatabase->XMLSelecoes.SaveToFile();
}

void TformConvocados::bVoltarClick() {
    accept();
}

void TformConvocados::SelectRow(int row) {
    const QSignalBlocker blocker(lbConvocados);
    lbConvocados->setCurrentRow(row);
}

IXMLConvocadosType TformConvocados::Squad() const {
    return TorvelDatabase->Selecoes[nSelecao].Convocados();
}

int TformConvocados::IndexOfShirt(double shirt) const {
    const IXMLConvocadosType squad = Squad();
    for (int i = 0; i < squad.Count(); ++i)
        if (squad[i].No() == shirt)
            return i;
    return -1;
}
