#include "CLanguage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "DialogSupport.h"

namespace nimbary {

CLanguage::CLanguage(int language, std::function<void(int)> apply, QWidget* parent)
    : QDialog(parent), apply_(std::move(apply)), list_(new QComboBox(this)) {
    setWindowTitle(Text(2110));
    auto* label = new QLabel(Text(2110), this);
    label->setObjectName("idc_1118");
    list_->setObjectName("idc_1117");
    SetAccessKey(label, list_, text::KeyPlace::Language, 1117);
    label->setText(label->text() + ":");
    // The names stay English in both languages.
    list_->addItems({"English", "Chinese"});
    list_->setCurrentIndex(language == 1 ? 1 : 0);

    auto* ok = new QPushButton(Text(2105), this);
    ok->setObjectName("idc_1");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(2065), this);
    cancel->setObjectName("idc_2");
    connect(ok, &QPushButton::clicked, this, &CLanguage::accept);
    connect(cancel, &QPushButton::clicked, this, &CLanguage::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(list_, 0, 1);
    grid->addWidget(ok, 0, 2);
    grid->addWidget(cancel, 1, 2);
    grid->setColumnMinimumWidth(1, 120);
}

int CLanguage::Selected() const {
    return list_->currentIndex() == 1 ? 1 : 0;
}

void CLanguage::accept() {
    if (apply_) apply_(Selected());
    QDialog::accept();
}

}  // namespace nimbary
