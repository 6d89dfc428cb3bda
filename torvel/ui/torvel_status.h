#pragma once
// The waiting window shown during long operations.

#include "ui_torvel_status.h"

#include <QDialog>

class TformStatus : public QDialog, public Ui::TformStatus {
    Q_OBJECT
public:
    explicit TformStatus(QWidget* parent = nullptr);
    ~TformStatus() override;

private:
    void FormCreate();
};

inline TformStatus* formStatus = nullptr;
