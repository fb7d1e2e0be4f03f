#include "safety/TfrmNoDelete.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/DosTime.h"
#include "common/TShadowLabel.h"
#include "common/Text.h"
#include "safety/FoldersFile.h"
#include "safety/RegistryFolderScan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QLabel *wrapped(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setWordWrap(true);
    return l;
}

QPushButton *button(const QString &name, const QString &text, const QString &hint, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    return b;
}

std::string bytesOf(const QListWidgetItem *item) { return item->data(Qt::UserRole).toByteArray().toStdString(); }
}

TfrmNoDelete::TfrmNoDelete(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmNoDelete"));
    setWindowTitle(QStringLiteral("List of folders that should not be deleted"));

    EsLabel1 = new TShadowLabel(QStringLiteral("Folders that should not be deleted"), QStringLiteral("Times New Roman"),
                                22, this);
    EsLabel1->setObjectName(QStringLiteral("EsLabel1"));
    EsLabel1->setColours(QColor(0, 0, 160), QColor(160, 160, 160));
    EsLabel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont cf = lblCount->font();
    cf.setBold(true);
    lblCount->setFont(cf);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setToolTip(QStringLiteral("Drag the mouse over the list to select multiple folders"));
    ListBox1->setUniformItemSizes(true);

    auto *Label1 = wrapped(QStringLiteral("Label1"),
                           QStringLiteral("This is a list of folders that are referenced in your installed packages' file "
                                          "lists and desktop entries.  "
                                          "When deleting a file or folders, Vantor will check this list of folders "
                                          "and warn you before deleting the files within the folder.  You may add "
                                          "or delete from this list."),
                           this);
    auto *Label2 = wrapped(QStringLiteral("Label2"),
                           QStringLiteral("Note: It is recommended that you rebuild this list after installing or "
                                          "uninstalling programs."),
                           this);

    auto *box = new QFrame(this);
    box->setObjectName(QStringLiteral("pnlDates"));
    box->setFrameStyle(QFrame::Box | QFrame::Sunken);
    auto *Label3 = new QLabel(QStringLiteral("Date of last build:"), box);
    Label3->setObjectName(QStringLiteral("Label3"));
    lblWhen = new QLabel(box);
    lblWhen->setObjectName(QStringLiteral("lblWhen"));
    auto *Label4 = new QLabel(QStringLiteral("Today's date:"), box);
    Label4->setObjectName(QStringLiteral("Label4"));
    lblToday = new QLabel(box);
    lblToday->setObjectName(QStringLiteral("lblToday"));
    auto *dates = new QGridLayout(box);
    dates->addWidget(Label3, 0, 0);
    dates->addWidget(lblWhen, 0, 1);
    dates->addWidget(Label4, 1, 0);
    dates->addWidget(lblToday, 1, 1);
    dates->setColumnStretch(1, 1);

    btAdd = button(QStringLiteral("btAdd"), QStringLiteral("Add"), QStringLiteral("Add a new folder to this list"),
                   this);
    btDel = button(QStringLiteral("btDel"), QStringLiteral("Delete"),
                   QStringLiteral("Delete a folder.  Select multiple folders above to delete more than one."), this);
    btBuild = button(QStringLiteral("btBuild"), QStringLiteral("Build list of folders"),
                     QStringLiteral("Build the list of folders referenced in the package lists and desktop "
                                    "entries"),
                     this);
    btBuild->setDefault(true);
    btClose = button(QStringLiteral("btClose"), QStringLiteral("Close"), QStringLiteral("Close window"), this);

    auto *heading = new QHBoxLayout;
    heading->addWidget(EsLabel1, 1);
    heading->addWidget(lblCount);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btAdd);
    buttons->addWidget(btDel);
    buttons->addStretch(1);
    buttons->addWidget(btBuild);
    buttons->addWidget(btClose);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(heading);
    lay->addWidget(ListBox1, 1);
    lay->addWidget(Label1);
    lay->addWidget(Label2);
    lay->addWidget(box);
    lay->addLayout(buttons);

    connect(btAdd, &QPushButton::clicked, this, &TfrmNoDelete::btAddClick);
    connect(btDel, &QPushButton::clicked, this, &TfrmNoDelete::btDelClick);
    connect(btBuild, &QPushButton::clicked, this, &TfrmNoDelete::btBuildClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmNoDelete::btCloseClick);

    setFixedSize(560, 470);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

std::vector<std::string> TfrmNoDelete::folders() const
{
    std::vector<std::string> out;
    out.reserve(size_t(ListBox1->count()));
    for (int i = 0; i < ListBox1->count(); ++i)
        out.push_back(bytesOf(ListBox1->item(i)));
    return out;
}

void TfrmNoDelete::addFolder(const std::string &folder, int row)
{
    auto *item = new QListWidgetItem(displayName(folder));
    item->setData(Qt::UserRole, QByteArray::fromStdString(folder));
    if (row < 0)
        ListBox1->addItem(item);
    else
        ListBox1->insertItem(row, item);
}

void TfrmNoDelete::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmNoDelete::FormShow()
{
    ListBox1->clear();
    std::vector<std::string> list;
    const FoldersFile::State state = FoldersFile::load(list);
    for (const std::string &f : list)
        addFolder(f);
    // A list file that cannot be read is left alone: editing a list shown
    // empty would replace the entries it holds.
    listUnreadable_ = state == FoldersFile::State::Unreadable;
    for (QPushButton *b : {btAdd, btDel, btBuild})
        b->setEnabled(!listUnreadable_);
    if (listUnreadable_)
        dialogs().showError(FoldersFile::unreadableText());
    updatecount();
    lblWhen->setText(IniFile().readString(QStringLiteral("Folders"), QStringLiteral("When"),
                                          QStringLiteral("Not recorded")));
    lblToday->setText(QLocale().toString(now().date(), QLocale::LongFormat));
}

void TfrmNoDelete::done(int r)
{
    FormClose();
    QDialog::done(r);
}

void TfrmNoDelete::FormClose()
{
    if (closed_ || !listChanged_ || listUnreadable_)
        return;
    closed_ = true;
    if (!FoldersFile::write(folders()))
        dialogs().showError(QStringLiteral("Unable to write to ") + displayName(FoldersFile::path()));
}

void TfrmNoDelete::btCloseClick() { reject(); }

void TfrmNoDelete::btAddClick()
{
    if (const auto chosen = dialogs().chooseFolder(QStringLiteral("Select a folder that won't be deleted"))) {
        addFolder(FoldersFile::withSlash(*chosen));
        listChanged_ = true;
    }
    updatecount();
}

void TfrmNoDelete::btDelClick()
{
    if (ListBox1->selectedItems().isEmpty()) {
        dialogs().showError(QStringLiteral("Select one or more folders from the list above"));
    } else if (dialogs().askOkCancel(QStringLiteral("Really delete the selected folders?"))) {
        for (int i = ListBox1->count() - 1; i >= 0; --i) {
            if (ListBox1->item(i)->isSelected())
                delete ListBox1->takeItem(i);
        }
        listChanged_ = true;
    }
    updatecount();
}

void TfrmNoDelete::btBuildClick()
{
    if (!dialogs().askYesNo(QStringLiteral("Vantor will now scan the package lists and desktop entries for references to "
                                           "folders.  It may take "
                                           "a few minutes.  Continue? ")))
        return;
    ListBox1->clear();
    const QString heading = EsLabel1->text();
    EsLabel1->setText(QStringLiteral("Building List ... standby"));
    btBuild->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    lblCount->clear();
    repaint();

    // While building, the list stays in order without regard to case; it
    // repaints as it grows, at most about every 15 ms.
    std::vector<std::string> keys;
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    const RegistryView view(sources);
    RegistryFolderScan scan(view);
    scan.onFolder = [&](const std::string &folder) {
        const std::string key = FoldersFile::caseKey(folder);
        const auto at = std::upper_bound(keys.begin(), keys.end(), key);
        const int row = int(at - keys.begin());
        keys.insert(at, key);
        addFolder(folder, row);
        if (sinceRepaint.elapsed() >= 15) {
            ListBox1->repaint();
            sinceRepaint.restart();
        }
    };
    scan.run();

    updatecount();
    btBuild->setEnabled(true);
    QApplication::restoreOverrideCursor();
    EsLabel1->setText(heading);
    updateLastDate();
    listChanged_ = true;
}

void TfrmNoDelete::updatecount()
{
    lblCount->setText(formatThousands(ListBox1->count()) + QStringLiteral(" folders"));
}

void TfrmNoDelete::updateLastDate()
{
    QString text = QStringLiteral("Not recorded");
    if (ListBox1->count() > 0) {
        const QDateTime t = now();
        text = QLocale().toString(t.date(), QLocale::LongFormat) + QLatin1Char(' ') + longTimeText(t.time());
    }
    lblWhen->setText(text);
    writeOrReport([&text] { IniFile().writeString(QStringLiteral("Folders"), QStringLiteral("When"), text); });
}
