#include "stats/TfrmWhichDrive.h"

#include "common/TDialogFrame.h"
#include "common/TModal.h"
#include "common/TShadowLabel.h"
#include "scan/TDriveCheckList.h"
#include "stats/StatTypeLists.h"
#include "stats/TfrmStatList.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeWidget>

#include <algorithm>

namespace {
constexpr int kPageW = 281, kPageH = 313;

QPushButton *pageButton(QWidget *page, const char *name, const QString &caption, int x)
{
    auto *b = new QPushButton(caption, page);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, kPageH - 38, 90, 27);
    return b;
}

TShadowLabel *pageTitle(QWidget *page, const QString &text)
{
    auto *t = new TShadowLabel(text, QStringLiteral("Arial"), 20, page);
    t->setGeometry(10, 6, kPageW - 20, 36);
    return t;
}

// "Select All" / "Deselect All" on a right click.
void selectMenu(QWidget *list, const std::function<void(bool)> &apply)
{
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, list, [list, apply](const QPoint &at) {
        QMenu menu(list);
        menu.setObjectName(QStringLiteral("PopupMenu1"));
        QAction *all = menu.addAction(QStringLiteral("Select All"));
        menu.addAction(QStringLiteral("Deselect All"));
        if (QAction *chosen = menu.exec(list->mapToGlobal(at)))
            apply(chosen == all);
    });
}
}

TfrmWhichDrive::TfrmWhichDrive(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmWhichDrive"));
    setWindowTitle(QStringLiteral("Which drives and file types?"));
    setWindowFlags(TDialogFrame::flags);
    // The window manager writes the title beside its own buttons: the window
    // is made wide enough for it, so that it is not cut, and the pages sit
    // in its middle.
    QFont titleFont = font();
    titleFont.setBold(true);
    const int width = std::max(kPageW + 2, QFontMetrics(titleFont).horizontalAdvance(windowTitle()) * 6 / 5 + 120);
    setFixedSize(width, kPageH + 2);
    for (int i = 0; i < 3; ++i) {
        pages_[i] = new QWidget(this);
        pages_[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        pages_[i]->setGeometry((width - kPageW) / 2, 1, kPageW, kPageH);
    }

    // Page 1: which drives.
    QWidget *p1 = pages_[0];
    pageTitle(p1, QStringLiteral("Which drives?"));
    pckDrive = new TDriveCheckList(p1);
    pckDrive->setToolTip(QStringLiteral("Right click to select/deselect all"));
    pckDrive->move((kPageW - pckDrive->width()) / 2, 60);
    btNext1 = pageButton(p1, "btNext1", QStringLiteral("&Next >>"), 36);
    btCancel1 = pageButton(p1, "btCancel1", QStringLiteral("Cancel"), 155);
    pckDrive->setStartButton(btNext1);
    selectMenu(pckDrive, [this](bool on) { setAllDrives(on); });

    // Page 2: which file types.
    QWidget *p2 = pages_[1];
    pageTitle(p2, QStringLiteral("Which file types?"));
    rbAll = new QRadioButton(QStringLiteral("&All files"), p2);
    rbInclude = new QRadioButton(QStringLiteral("&Selected file types only"), p2);
    rbExclude = new QRadioButton(QStringLiteral("All files &except selected file types"), p2);
    int y = 80;
    for (auto [rb, name] : {std::pair{rbAll, "rbAll"}, {rbInclude, "rbInclude"}, {rbExclude, "rbExclude"}}) {
        rb->setObjectName(QLatin1String(name));
        rb->setGeometry(30, y, kPageW - 40, 24);
        y += 36;
    }
    rbAll->setChecked(true);
    btPrior2 = pageButton(p2, "btPrior2", QStringLiteral("<< &Previous"), 36);
    btNext2 = pageButton(p2, "btNext2", QStringLiteral("&Next >>"), 155);

    // Page 3: the type lines.
    QWidget *p3 = pages_[2];
    lblTitle3 = pageTitle(p3, QString());
    lblTitle3->setGeometry(6, 6, kPageW - 52, 36);
    lblCounter = new QLabel(p3);
    lblCounter->setObjectName(QStringLiteral("lblCounter"));
    lblCounter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblCounter->setGeometry(kPageW - 46, 14, 40, 20);
    PickList1 = new QTreeWidget(p3);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setToolTip(QStringLiteral("Right click to select/deselect all"));
    PickList1->setColumnCount(2);
    PickList1->setHeaderHidden(true);
    PickList1->setRootIsDecorated(false);
    PickList1->setColumnWidth(0, 80);
    PickList1->setGeometry(10, 46, kPageW - 20, 186);
    selectMenu(PickList1, [this](bool on) { setAllTypes(on); });
    connect(PickList1, &QTreeWidget::itemChanged, this, [this] { PickList1Click(); });
    btEdit = new QPushButton(QStringLiteral("&Add/Delete"), p3);
    btEdit->setObjectName(QStringLiteral("btEdit"));
    btEdit->setToolTip(QStringLiteral("Add, delete file types"));
    btEdit->setGeometry(10, 238, 90, 27);
    btPrior3 = pageButton(p3, "btPrior3", QStringLiteral("<< &Previous"), 36);
    btOK = pageButton(p3, "btOK", QStringLiteral("OK"), 155);
    btOK->setEnabled(false);

    for (QPushButton *b : {btCancel1, btPrior2, btEdit, btPrior3})
        b->setAutoDefault(false);
    connect(btNext1, &QPushButton::clicked, this, &TfrmWhichDrive::btNext1Click);
    connect(btCancel1, &QPushButton::clicked, this, &QDialog::reject);
    connect(btPrior2, &QPushButton::clicked, this, &TfrmWhichDrive::btPrior2Click);
    connect(btNext2, &QPushButton::clicked, this, &TfrmWhichDrive::btNext2Click);
    connect(btEdit, &QPushButton::clicked, this, &TfrmWhichDrive::btEditClick);
    connect(btPrior3, &QPushButton::clicked, this, &TfrmWhichDrive::btPrior3Click);
    connect(btOK, &QPushButton::clicked, this, &TfrmWhichDrive::btOKClick);

    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TfrmWhichDrive::showEvent(QShowEvent *event)
{
    pckDrive->fillDriveList(true);
    loadTypes();
    showPage(0);
    QDialog::showEvent(event);
}

QString TfrmWhichDrive::section() const
{
    return rbInclude->isChecked() ? QStringLiteral("Include") : QStringLiteral("Exclude");
}

void TfrmWhichDrive::loadTypes()
{
    const QSignalBlocker quiet(PickList1);
    PickList1->clear();
    for (const QString &line : StatTypeLists::read(section())) {
        auto *item = new QTreeWidgetItem(PickList1, QStringList{line.section(QLatin1Char('\t'), 0, 0),
                                                                 line.section(QLatin1Char('\t'), 1)});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    btOK->setEnabled(false);
    lblCounter->setText(QStringLiteral("0/%1").arg(PickList1->topLevelItemCount()));
}

void TfrmWhichDrive::showPage(int page)
{
    for (int i = 0; i < 3; ++i)
        pages_[i]->setVisible(i == page);
    QPushButton *def = page == 0 ? btNext1 : page == 1 ? btNext2 : btOK;
    def->setDefault(true);
    def->setFocus();
}

int TfrmWhichDrive::currentPage() const
{
    for (int i = 0; i < 3; ++i)
        if (pages_[i]->isVisibleTo(this))
            return i;
    return 0;
}

void TfrmWhichDrive::btNext1Click()
{
    showPage(1);
}

void TfrmWhichDrive::btPrior2Click()
{
    showPage(0);
}

void TfrmWhichDrive::btPrior3Click()
{
    showPage(1);
}

void TfrmWhichDrive::btNext2Click()
{
    btOK->setEnabled(false);
    if (rbAll->isChecked()) {
        btOKClick();
        return;
    }
    lblTitle3->setText(rbInclude->isChecked() ? QStringLiteral("Selected file types only")
                                              : QStringLiteral("All file types except ..."));
    loadTypes();
    showPage(2);
}

int TfrmWhichDrive::checkedTypeCount() const
{
    int n = 0;
    for (int i = 0; i < PickList1->topLevelItemCount(); ++i)
        if (PickList1->topLevelItem(i)->checkState(0) == Qt::Checked)
            ++n;
    return n;
}

void TfrmWhichDrive::PickList1Click()
{
    const int n = checkedTypeCount();
    btOK->setEnabled(n > 0 && pckDrive->checkedCount() > 0);
    lblCounter->setText(QStringLiteral("%1/%2").arg(n).arg(PickList1->topLevelItemCount()));
}

void TfrmWhichDrive::setAllTypes(bool checked)
{
    {
        const QSignalBlocker quiet(PickList1);
        for (int i = 0; i < PickList1->topLevelItemCount(); ++i)
            PickList1->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
    PickList1Click();
}

void TfrmWhichDrive::setAllDrives(bool checked)
{
    {
        const QSignalBlocker quiet(pckDrive);
        for (int i = 0; i < pckDrive->count(); ++i)
            pckDrive->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    pckDrive->pckDriveClick();
}

void TfrmWhichDrive::btEditClick()
{
    TfrmStatList editor(section(), this);
    TModal::exec(&editor);
    loadTypes();
}

void TfrmWhichDrive::btOKClick()
{
    all_ = rbAll->isChecked();
    include_ = rbInclude->isChecked();
    exclude_ = rbExclude->isChecked();
    accept();
}

QStringList TfrmWhichDrive::checkedDrives() const
{
    return pckDrive->checkedEntries();
}

QStringList TfrmWhichDrive::typeLines() const
{
    QStringList out;
    for (int i = 0; i < PickList1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *it = PickList1->topLevelItem(i);
        out << it->text(0) + QLatin1Char('\t') + it->text(1);
    }
    return out;
}

QStringList TfrmWhichDrive::checkedTypes() const
{
    QStringList out;
    const QStringList all = typeLines();
    for (int i = 0; i < PickList1->topLevelItemCount(); ++i)
        if (PickList1->topLevelItem(i)->checkState(0) == Qt::Checked)
            out << all[i];
    return out;
}
