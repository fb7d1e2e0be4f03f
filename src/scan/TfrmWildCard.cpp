#include "scan/TfrmWildCard.h"

#include "platform/FileTypes.h"
#include "scan/TPatternBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TfrmWildCard::TfrmWildCard(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmWildCard"));
    setWindowTitle(QStringLiteral("Wildcard pattern"));
    auto *prompt = new QLabel(QStringLiteral("Change the wildcard matching pattern:"), this);
    box_ = newPatternBox(this);
    lblWild_ = new QLabel(this);
    lblWild_->setObjectName(QStringLiteral("lblWild"));
    lblType_ = new QLabel(this);
    lblType_->setObjectName(QStringLiteral("lblType"));
    lblType_->setAlignment(Qt::AlignCenter);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("BitBtn1"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("BitBtn2"));

    auto *g = new QGridLayout(this);
    g->addWidget(prompt, 0, 0, 1, 2);
    g->addWidget(box_, 1, 0);
    g->addWidget(lblWild_, 1, 1);
    g->addWidget(lblType_, 2, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    g->addLayout(buttons, 3, 0, 1, 2);
    // A fixed size: the window has only a close box and cannot be resized
    // or maximised.
    setFixedSize(QSize(286, 182).expandedTo(sizeHint()));

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(box_, &QComboBox::editTextChanged, this, &TfrmWildCard::updateLabels);
    connect(box_, &QComboBox::currentTextChanged, this, &TfrmWildCard::updateLabels);
}

QString TfrmWildCard::pattern() const { return box_->currentText(); }

void TfrmWildCard::setPattern(const QString &pattern)
{
    box_->setEditText(pattern);
    updateLabels();
}

void TfrmWildCard::showEvent(QShowEvent *e)
{
    fillPatternList(box_, true);
    updateLabels();
    QDialog::showEvent(e);
}

void TfrmWildCard::updateLabels()
{
    const QString text = box_->currentText();
    lblWild_->setText(text == QLatin1String("*.*") ? QStringLiteral("All files") : QString());
    lblType_->setText(FileTypes::fileTypeName(text.mid(1)));
}
