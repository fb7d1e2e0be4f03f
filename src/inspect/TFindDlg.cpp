#include "inspect/TFindDlg.h"

#include "common/TLongLived.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

TFindDlg::TFindDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDlg"));
    setWindowTitle(QStringLiteral("Find"));
    auto *top = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Search Text"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    label->setBuddy(Edit1);
    top->addWidget(label);
    top->addWidget(Edit1);

    auto *options = new QGroupBox(QStringLiteral("Search &Options"), this);
    auto *grid = new QHBoxLayout(options);
    auto *dir = new QVBoxLayout;
    rbForward = new QRadioButton(QStringLiteral("Search &Forward"), options);
    rbForward->setObjectName(QStringLiteral("rbForward"));
    rbForward->setChecked(true);
    rbBackward = new QRadioButton(QStringLiteral("Search &Backward"), options);
    rbBackward->setObjectName(QStringLiteral("rbBackward"));
    dir->addWidget(rbForward);
    dir->addWidget(rbBackward);
    auto *checks = new QVBoxLayout;
    cbMatchCase = new QCheckBox(QStringLiteral("&Match Case"), options);
    cbMatchCase->setObjectName(QStringLiteral("cbMatchCase"));
    cbGlobal = new QCheckBox(QStringLiteral("&Global Search"), options);
    cbGlobal->setObjectName(QStringLiteral("cbGlobal"));
    checks->addWidget(cbMatchCase);
    checks->addWidget(cbGlobal);
    grid->addLayout(dir);
    grid->addLayout(checks);
    top->addWidget(options);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    btOK = new QPushButton(QStringLiteral("OK"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    top->addLayout(buttons);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFindDlg &TFindDlg::instance() { return TLongLived<TFindDlg>::instance(); }

QString TFindDlg::text() const { return Edit1->text(); }
bool TFindDlg::backward() const { return rbBackward->isChecked(); }
bool TFindDlg::matchCase() const { return cbMatchCase->isChecked(); }
bool TFindDlg::global() const { return cbGlobal->isChecked(); }

void TFindDlg::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    Edit1->setFocus();
    Edit1->selectAll();
}
