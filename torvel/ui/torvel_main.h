#pragma once
// The program's main window: the phase selector, the match table of the phase
// with its score entry, and the buttons to every other function.

#include "controls.h"
#include "ui_torvel_main.h"

#include "web_client.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class TformTorvel : public QWidget, public Ui::TformTorvel {
    Q_OBJECT
public:
    explicit TformTorvel(QWidget* parent = nullptr);
    ~TformTorvel() override;

    // True once FormShow found the data unusable and told the program to end.
    bool TerminateRequested() const { return terminateRequested_; }

    // The run-time controls of the match table, one entry per row.
    std::vector<QLabel*> lJogo, lTime0, lX, lTime1;
    std::vector<QLineEdit*> mGols0, mGols1;
    std::vector<QPushButton*> bEscalacao;
    std::vector<QFrame*> bvJogo;
    std::vector<QLabel*> lFase;

    void cFasesChange();
    void bConvocadosClick();
    void bSairClick();
    void bWebUpdateClick();
    void bImprimirClick();
    void bGruposClick();
    void bRankingGeralClick();
    void bRankingArtilheirosClick();

    void ClearRows();
    void BuildRows(int phase);
    void FillRows(int phase);
    void EnableRows();
    void ScoreChange(QLineEdit* box);
    void LineupClick(QPushButton* button);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormResize();
    void FormClose();
    void ShowPhase();
    void LoadPhase(int phase);
    // The controls of one match row, created once and kept for every phase
    // shown after.
    struct TRowControls {
        QLabel* jogo = nullptr;
        QLineEdit* gols0 = nullptr;
        QLineEdit* gols1 = nullptr;
        QLabel* time0 = nullptr;
        QLabel* x = nullptr;
        QLabel* time1 = nullptr;
        QPushButton* escalacao = nullptr;
        QFrame* frame = nullptr;
    };
    // Row r's controls and phase header h of the pool, created hidden when
    // the pool has none yet; owned by scrJogosContents.
    TRowControls PooledRow(size_t r);
    QLabel* PooledPhaseHeader(size_t h);
    QLineEdit* CreateScoreBox();
    void SetScoreText(QLineEdit* box, int32_t goals);

    // Ends the program once control returns to its message loop.
    void RequestTermination();

    // The HTTP client of the web update; none when it could not be created.
    std::unique_ptr<TWebClient> webClient;
    std::vector<TRowControls> rowPool_;
    std::vector<QLabel*> phaseHeaderPool_;
    TLabelSizes labelSizes_;
    bool shown_ = false;
    bool terminateRequested_ = false;
};

inline TformTorvel* formTorvel = nullptr;
