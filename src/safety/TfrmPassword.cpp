#include "safety/TfrmPassword.h"

#include "common/TDialogFrame.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmPassword::TfrmPassword(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmPassword"));
    setWindowTitle(QStringLiteral("Enter Password"));
    setWindowFlags(TDialogFrame::flags);
    setFixedSize(300, 124);

    auto field = [this](const char *name, int y) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setEchoMode(QLineEdit::Password);
        e->setGeometry(90, y, 198, 24);
        return e;
    };
    edPassword = field("edPassword", 12);
    edVerify = field("edVerify", 44);
    lblPassword = new QLabel(QStringLiteral("&Password"), this);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    lblPassword->setGeometry(12, 15, 74, 18);
    lblPassword->setBuddy(edPassword);
    lblVerify = new QLabel(QStringLiteral("&Verify"), this);
    lblVerify->setObjectName(QStringLiteral("lblVerify"));
    lblVerify->setGeometry(12, 47, 74, 18);
    lblVerify->setBuddy(edVerify);

    btOK = new QPushButton(QStringLiteral("OK"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setDefault(true);
    btOK->setGeometry(114, 86, 84, 28);
    btCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setGeometry(204, 86, 84, 28);

    connect(edPassword, &QLineEdit::textChanged, this, [this] {
        edVerify->clear();
        updateOk();
    });
    connect(edVerify, &QLineEdit::textChanged, this, &TfrmPassword::updateOk);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateOk();
}

QString TfrmPassword::password() const { return edPassword->text(); }

void TfrmPassword::updateOk() { btOK->setEnabled(edPassword->text() == edVerify->text()); }
