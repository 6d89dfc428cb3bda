#pragma once
// The ranking window: one ranking as a titled grid. The caller fills the
// title, the columns and the cells; the window adds the first header cell,
// fits its width to the columns and draws the cells.

#include "ui_torvel_rankingselecoes.h"

#include <QDialog>

class TformRanking : public QDialog, public Ui::TformRanking {
    Q_OBJECT
public:
    explicit TformRanking(QWidget* parent = nullptr);
    ~TformRanking() override;

    // Closing happens only through OK.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void GridDrawCell(QPainter& painter, int col, int row, const QRect& rect) const;
};

inline TformRanking* formRanking = nullptr;
