#include "scan/TfrmSelectExtension.h"

#include "platform/FileTypes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSelectExtension::TfrmSelectExtension(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSelectExtension"));
    setWindowTitle(QStringLiteral("Select a file extension"));
    auto *top = new QLabel(
        QStringLiteral("Type in a new file extension or select one or many from the list below:"), this);
    top->setWordWrap(true);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("Edit1"));
    edit_->setMaxLength(6);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("lBox"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setToolTip(QStringLiteral("Double click to select, Ctrl-click to select more than one"));
    auto *hint = new QLabel(QStringLiteral("Hint: Drag mouse or use ctrl-click to select multiple file extensions."),
                            this);
    hint->setWordWrap(true);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("BitBtn1"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("BitBtn2"));

    auto *v = new QVBoxLayout(this);
    v->addWidget(top);
    v->addWidget(edit_);
    v->addWidget(list_, 1);
    v->addWidget(hint);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    v->addLayout(buttons);
    // A fixed size: the window has only a close box and cannot be resized
    // or maximised.
    setFixedSize(QSize(324, 393).expandedTo(sizeHint()));

    connect(ok_, &QPushButton::clicked, this, [this]() { finish(false); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemClicked, this, &TfrmSelectExtension::lBoxClick);
    // A line selected with the keyboard fills the field as a click does.
    connect(list_, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *current) { lBoxClick(current); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        lBoxClick(item);
        finish(true);
    });
}

void TfrmSelectExtension::showEvent(QShowEvent *e)
{
    list_->clear();
    const QStringList patterns = NameFilters::patternList(false);
    for (const QString &p : patterns)
        list_->addItem(p + QLatin1Char('\t') + FileTypes::fileTypeName(p.mid(1)));
    edit_->setText(patterns.isEmpty() ? QString() : patterns.first());
    QDialog::showEvent(e);
    edit_->setFocus();
}

QStringList TfrmSelectExtension::selectedLines() const
{
    QStringList lines;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->isSelected())
            lines << list_->item(i)->text();
    return lines;
}

void TfrmSelectExtension::lBoxClick(QListWidgetItem *item)
{
    if (item)
        edit_->setText(NameFilters::linePattern(item->text()));
}

void TfrmSelectExtension::finish(bool byDoubleClick)
{
    result_ = NameFilters::finishExtensionPick(selectedLines(), edit_->text(), byDoubleClick);
    if (result_.close)
        accept();
}
