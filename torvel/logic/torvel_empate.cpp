#include "torvel_empate.h"

#include "design_font.h"
#include "hand_cursor.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

TformEmpate::TformEmpate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Label1(new QLabel(QStringLiteral("Empate no Grupo"), this)), lIntro(new QLabel(this)),
      rgSelecoes(new QGroupBox(QStringLiteral("Seleções Empatadas"), this)),
      bOK(new QPushButton(QStringLiteral("OK"), this)) {
    formEmpate = this;
    FormCreate();
}

TformEmpate::~TformEmpate() {
    if (formEmpate == this)
        formEmpate = nullptr;
}

void TformEmpate::FormCreate() {
    setFont(DesignFont("MS Sans Serif", 11));
    setFixedSize(290, 214);
    setWindowTitle(QGuiApplication::applicationDisplayName());

    Label1->setGeometry(8, 5, 121, 16);
    Label1->setFont(DesignFont("MS Sans Serif", 13, true));

    lIntro->setGeometry(8, 32, 273, 49);
    lIntro->setWordWrap(true);
    lIntro->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    rgSelecoes->setGeometry(8, 88, 273, 89);
    rgSelecoes->setCursor(HandCursor());

    bOK->setGeometry(205, 184, 75, 25);
    bOK->setCursor(HandCursor());
    bOK->setDefault(true);
    connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TformEmpate::SetItems(const std::vector<std::string>& names) {
    for (const std::unique_ptr<QRadioButton>& item : items_)
        group_.removeButton(item.get());
    items_.clear();
    for (const std::string& name : names) {
        items_.push_back(std::make_unique<QRadioButton>(QString::fromStdString(name), rgSelecoes));
        group_.addButton(items_.back().get(), static_cast<int>(items_.size()) - 1);
        items_.back()->show();
    }
    ArrangeItems();
}

// The buttons share the box's height below its caption in equal rows, one
// column wide, as radio groups do.
void TformEmpate::ArrangeItems() {
    if (items_.empty())
        return;
    const int count = static_cast<int>(items_.size());
    const int textHeight = QFontMetrics(rgSelecoes->font()).height();
    const int free = rgSelecoes->height() - textHeight - 5;
    const int rowHeight = free / count;
    const int top = textHeight + 1 + (free % count) / 2;
    for (int k = 0; k < count; ++k)
        items_[k]->setGeometry(8, top + k * rowHeight, rgSelecoes->width() - 10, rowHeight);
}

int TformEmpate::ItemIndex() const {
    return group_.checkedId();
}

int TformEmpate::Ask(const std::string& intro, const std::vector<std::string>& names) {
    SetItems(names);
    lIntro->setText(QString::fromStdString(intro));
    exec();
    return ItemIndex();
}

void TformEmpate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TformEmpate::FormShow() {
    if (!items_.empty())
        items_.front()->setChecked(true);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
