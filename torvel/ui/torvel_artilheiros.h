#pragma once
// The lineup and scorers dialog of one match: who played on each side and how
// many goals each scored. Side-0 controls carry the tag 0, side-1 controls the
// tag 1; each handler serves both and reads the side from its control.

#include "ui_torvel_artilheiros.h"

#include <QDialog>

#include <cstdint>

class TformArtilheiros : public QDialog, public Ui::TformArtilheiros {
    Q_OBJECT
public:
    explicit TformArtilheiros(QWidget* parent = nullptr);
    ~TformArtilheiros() override;

    int32_t nSelecao0 = -1;
    int32_t nSelecao1 = -1;
    int32_t nJogo = -1;
    int32_t nPlacar0 = -1;
    int32_t nPlacar1 = -1;

    void bAddClick(QObject* sender);
    void bDelClick(QObject* sender);
    void listEquipeClick(QObject* sender);
    void eGolsChange(QObject* sender);

    // Closing happens only through OK.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TSide {
        QLabel* lEquipe;
        QComboBox* cEquipe;
        QPushButton* bAdd;
        QListWidget* listEquipe;
        QPushButton* bDel;
        QLabel* lGols;
        QLineEdit* eGols;
    };

    void FormCreate();
    void FormShow();
    void FillSide(int side);
    void ShowScore();
    int32_t Team(int side) const { return side == 0 ? nSelecao0 : nSelecao1; }

    TSide sides_[2];
};

inline TformArtilheiros* formArtilheiros = nullptr;
