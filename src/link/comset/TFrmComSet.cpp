#include "TFrmComSet.h"

#include "ScreenFit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFrmComSet::TFrmComSet(QWidget* parent)
    : QDialog(parent), Label1(new QLabel(QStringLiteral("使用串口Id"), this)),
      ComboBox1(new QComboBox(this)), Label2(new QLabel(QStringLiteral("波特率"), this)),
      ComboBox2(new QComboBox(this)), BtnOk(new QPushButton(QStringLiteral("确定"), this)),
      BtnCl(new QPushButton(QStringLiteral("取消"), this)) {
    setObjectName(QStringLiteral("FrmComSet"));
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnCl->setObjectName(QStringLiteral("BtnCl"));
    setWindowTitle(QStringLiteral("通讯设置"));

    ComboBox1->setEditable(false);
    ComboBox1->setMinimumWidth(160);
    ComboBox2->setEditable(false);
    ComboBox2->addItems({QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                         QStringLiteral("9600"), QStringLiteral("19200")});
    ComboBox2->setCurrentIndex(3);
    BtnOk->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnOk);
    buttons->addWidget(BtnCl);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ComboBox1);
    layout->addWidget(Label2);
    layout->addWidget(ComboBox2);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BtnOk, &QPushButton::clicked, this, &TFrmComSet::BtnOkClick);
    connect(BtnCl, &QPushButton::clicked, this, &TFrmComSet::BtnClClick);

    FormCreate();

    adjustSize();
    CentreWindowOnScreen(this);
}

void TFrmComSet::FormCreate() {
    Confirmed = false;
}

void TFrmComSet::BtnOkClick() {
    Confirmed = true;
    accept();
}

void TFrmComSet::BtnClClick() {
    reject();
}
