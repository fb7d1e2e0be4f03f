#include "scan/TPatternBox.h"

#include "scan/NameFilters.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

void fillPatternList(QComboBox *box, bool withAll)
{
    const QString text = box->currentText();
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(NameFilters::patternList(withAll));
    box->setEditText(text);
}

TPatternBox::TPatternBox(QWidget *parent) : QWidget(parent)
{
    caption_ = new QLabel(QStringLiteral("Matching"), this);
    box_ = new QComboBox(this);
    box_->setObjectName(QStringLiteral("cbWildCard"));
    box_->setEditable(true);
    box_->setInsertPolicy(QComboBox::NoInsert);
    box_->setMaxVisibleItems(14);
    box_->setToolTip(QStringLiteral("Wildcard pattern for matching file types"));
    box_->setEditText(QStringLiteral("*.*"));
    caption_->setBuddy(box_);
    type_ = new QLabel(QStringLiteral("All files"), this);
    type_->setObjectName(QStringLiteral("lblWild"));
    type_->setMinimumWidth(120);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(caption_);
    row->addWidget(box_, 1);
    row->addWidget(type_, 1);
    connect(box_, &QComboBox::editTextChanged, this, &TPatternBox::cbWildCardChange);
    connect(box_, &QComboBox::currentTextChanged, this, &TPatternBox::cbWildCardChange);
}

QString TPatternBox::pattern() const { return box_->currentText(); }

void TPatternBox::setPattern(const QString &pattern)
{
    box_->setEditText(pattern);
    cbWildCardChange();
}

void TPatternBox::fillPatternList()
{
    ::fillPatternList(box_, true);
    cbWildCardChange();
}

void TPatternBox::cbWildCardChange()
{
    type_->setText(NameFilters::typeLabel(box_->currentText()));
}
