#pragma once
// The tie dialog: asks which of the tied teams of a group the lot placed.

#include "torvel_qualification.h"

#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <memory>
#include <string>
#include <vector>

class TformEmpate : public QDialog, public TTieQuestion {
public:
    explicit TformEmpate(QWidget* parent = nullptr);
    ~TformEmpate() override;

    // Controls, owned by the dialog.
    QLabel* Label1;
    QLabel* lIntro;
    QGroupBox* rgSelecoes;
    QPushButton* bOK;

    // Replaces the radio buttons of rgSelecoes by one per name, in order.
    void SetItems(const std::vector<std::string>& names);
    // The radio buttons of rgSelecoes, in order.
    const std::vector<std::unique_ptr<QRadioButton>>& Items() const { return items_; }
    // Index of the selected radio button; -1 when none is.
    int ItemIndex() const;

    // Shows intro and the names modally and returns the index of the team the
    // user selected.
    int Ask(const std::string& intro, const std::vector<std::string>& names) override;

    // The dialog cannot be cancelled: Escape and the window manager's close
    // leave it open.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void ArrangeItems();

    QButtonGroup group_;
    std::vector<std::unique_ptr<QRadioButton>> items_;
};

// The tie dialog of the program while it exists; not owned.
inline TformEmpate* formEmpate = nullptr;
