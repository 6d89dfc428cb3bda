#include "torvel_status.h"

#include "design_font.h"

#include <QApplication>

TformStatus::TformStatus(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setupUi(this);
    formStatus = this;
    FormCreate();
}

TformStatus::~TformStatus() {
    if (formStatus == this)
        formStatus = nullptr;
}

void TformStatus::FormCreate() {
    setWindowTitle(QApplication::applicationName());
    setFont(DesignFont("MS Sans Serif", 11));
}
