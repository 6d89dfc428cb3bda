#pragma once
// The group standings window: the table of one group of the first phase as
// the last standings update left it, the group chosen in a drop-down.

#include "ui_torvel_rankingpontos.h"

#include <QDialog>

class TformGrupos : public QDialog, public Ui::TformGrupos {
    Q_OBJECT
public:
    explicit TformGrupos(QWidget* parent = nullptr);
    ~TformGrupos() override;

    void cGrupoChange();

    // Closing happens only through OK.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void GridDrawCell(QPainter& painter, int col, int row, const QRect& rect) const;
};

inline TformGrupos* formGrupos = nullptr;
