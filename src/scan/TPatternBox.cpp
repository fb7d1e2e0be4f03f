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

QComboBox *newPatternBox(QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("cbWildCard"));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setToolTip(QStringLiteral("Wildcard pattern for matching file types"));
    box->setEditText(QStringLiteral("*.*"));
    return box;
}

TPatternBox::TPatternBox(QWidget *parent) : QWidget(parent)
{
    caption_ = new QLabel(QStringLiteral("Matching"), this);
    box_ = newPatternBox(this);
    box_->setMaxVisibleItems(14);
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
