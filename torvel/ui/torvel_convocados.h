#pragma once
// The squad editor: the called-up players of every national team, each with a
// shirt number and a name, and the team's flag. Every change is saved to the
// team file at once.

#include "ui_torvel_convocados.h"

#include "torvel_db_selecoes.h"

#include <QDialog>

#include <cstdint>

class TformConvocados : public QDialog, public Ui::TformConvocados {
    Q_OBJECT
public:
    explicit TformConvocados(QWidget* parent = nullptr);
    ~TformConvocados() override;

    // The team being edited, by team index; -1 when none.
    int32_t nSelecao = -1;
    // The squad row last loaded into the entry boxes; -1 when none.
    int32_t nConvocado = -1;

    void cbSelecoesChange();
    void lbConvocadosClick();
    // Leaving the number box: a typed number that is no shirt is refused.
    void eNumeroExit();
    void ActivateAdd();
    void bAddClick();
    void bDelClick();
    void bVoltarClick();

    // Closing happens only through "Voltar".
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    // Shows the flag picture file of dados/band/, or none when it is missing.
    void ShowFlag(const std::string& file);
    // Fills the list with one row per squad player, in squad order.
    void ListSquad();
    // Makes row the selected one without running the click handler; -1 for none.
    void SelectRow(int row);
    torvel_db_selecoes::IXMLConvocadosType Squad() const;
    // The first squad player wearing the shirt, or -1.
    int IndexOfShirt(double shirt) const;
};

inline TformConvocados* formConvocados = nullptr;
