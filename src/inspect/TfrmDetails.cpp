#include "inspect/TfrmDetails.h"

#include "common/Dialogs.h"
#include "common/TModal.h"
#include "common/TPrintLines.h"
#include "common/TShell.h"
#include "common/Text.h"
#include "inspect/FileDetails.h"
#include "inspect/TFileIcon.h"
#include "inspect/TfrmView.h"
#include "inspect/VersionInfo.h"
#include "platform/FileLookup.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
// One bevelled panel of captions and values.
QFrame *panel(QWidget *parent, QGridLayout *&grid)
{
    auto *f = new QFrame(parent);
    f->setFrameStyle(QFrame::Panel | QFrame::Raised);
    grid = new QGridLayout(f);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    grid->setColumnMinimumWidth(0, 110);
    grid->setColumnStretch(1, 1);
    return f;
}

QLabel *value(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setMinimumWidth(330);
    return l;
}
}

TfrmDetails::TfrmDetails(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDetails"));
    setWindowTitle(QStringLiteral("File Details"));
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(10);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(32, 32);
    outer->addWidget(Image1, 0, Qt::AlignTop);
    auto *column = new QVBoxLayout;
    column->setSpacing(6);
    outer->addLayout(column, 1);

    QGridLayout *g;
    QFrame *p = panel(this, g);
    g->addWidget(new QLabel(QStringLiteral("Name of file:"), p), 0, 0);
    g->addWidget(lblFileName = value(p, "lblFileName"), 0, 1);
    lblFileName->setWordWrap(true);
    column->addWidget(p);
    p = panel(this, g);
    g->addWidget(new QLabel(QStringLiteral("Type of file:"), p), 0, 0);
    g->addWidget(lblFileType = value(p, "lblFileType"), 0, 1);
    column->addWidget(p);
    p = panel(this, g);
    g->addWidget(new QLabel(QStringLiteral("Size:"), p), 0, 0);
    g->addWidget(lblSizeBytes = value(p, "lblSizeBytes"), 0, 1);
    g->addWidget(lblSizeK = value(p, "lblSizeK"), 1, 1);
    column->addWidget(p);
    p = panel(this, g);
    g->addWidget(new QLabel(QStringLiteral("Creation date:"), p), 0, 0);
    g->addWidget(lblCreate = value(p, "lblCreate"), 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Modification date:"), p), 1, 0);
    g->addWidget(lblModify = value(p, "lblModify"), 1, 1);
    g->addWidget(new QLabel(QStringLiteral("Access date:"), p), 2, 0);
    g->addWidget(lblAccess = value(p, "lblAccess"), 2, 1);
    column->addWidget(p);
    pnlAttributes = panel(this, g);
    g->addWidget(new QLabel(QStringLiteral("Attributes:"), pnlAttributes), 0, 0);
    g->addWidget(lblAttributes = value(pnlAttributes, "lblAttributes"), 0, 1);
    column->addWidget(pnlAttributes);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setTabStopDistance(QFontMetricsF(Memo1->font()).horizontalAdvance(QLatin1Char(' ')) * 16);
    QPalette pal = Memo1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    Memo1->setPalette(pal);
    // Room for the eleven version lines.
    Memo1->setFixedHeight(Memo1->fontMetrics().lineSpacing() * 12 + 2 * Memo1->frameWidth() + 8);
    column->addWidget(Memo1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    const auto button = [&](QPushButton *&b, const char *name, const QString &text, const QString &hint) {
        b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    };
    button(btPrint, "btPrint", QStringLiteral("Print"), QStringLiteral("Print file details"));
    button(btView, "btView", QStringLiteral("&View"), QStringLiteral("View file"));
    button(btLaunch, "btLaunch", QStringLiteral("&Open"), QStringLiteral("Run/launch associated application"));
    button(btClose, "btClose", QStringLiteral("Close"), QString());
    buttons->addStretch(1);
    column->addSpacing(4);
    column->addLayout(buttons);

    connect(btPrint, &QPushButton::clicked, this, &TfrmDetails::btPrintClick);
    connect(btView, &QPushButton::clicked, this, &TfrmDetails::btViewClick);
    connect(btLaunch, &QPushButton::clicked, this, &TfrmDetails::btLaunchClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmDetails::showDetails(const std::string &path, QWidget *parent)
{
    TfrmDetails d(parent);
    d.setPath(path);
    TModal::exec(&d);
}

void TfrmDetails::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous() && !shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmDetails::FormShow()
{
    const auto t = FileDetails::describe(path_, QDateTime::currentDateTime());
    if (t) {
        Image1->setPixmap(fileIcon(path_).pixmap(32, 32));
        QStringList lines;
        versionInfoLines(path_, lines, true);
        Memo1->setPlainText(lines.join(QLatin1Char('\n')));
        if (lines.isEmpty())
            Memo1->hide();
        lblFileType->setText(t->fileType);
        lblFileName->setText(t->fileName);
        lblSizeBytes->setText(t->sizeBytes);
        lblSizeK->setText(t->sizeClusters);
        lblAccess->setText(t->accessed);
        lblCreate->setText(t->created);
        lblModify->setText(t->modified);
        lblAttributes->setText(t->attributes);
    }
    // The window shrinks to what it shows (without the memo when it is hidden).
    adjustSize();
    resize(sizeHint());
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void TfrmDetails::btLaunchClick()
{
    if (!TShell::open(FileLookup::fileUrl(path_)))
        dialogs().showError(QStringLiteral("Couldn't open ") + displayName(path_));
}

void TfrmDetails::btViewClick() { TfrmView::viewFile(path_, this); }

void TfrmDetails::btPrintClick()
{
    QPrinter printer;
    if (!dialogs().choosePrinter(printer, QStringLiteral("Print")))
        return;
    FileDetails::Texts t;
    t.fileName = lblFileName->text();
    t.fileType = lblFileType->text();
    t.sizeBytes = lblSizeBytes->text();
    t.sizeClusters = lblSizeK->text();
    t.created = lblCreate->text();
    t.modified = lblModify->text();
    t.accessed = lblAccess->text();
    t.attributes = lblAttributes->text();
    const QString memo = Memo1->toPlainText();
    lb = FileDetails::printLines(t, memo.isEmpty() ? QStringList() : memo.split(QLatin1Char('\n')));
    QFont font(QStringLiteral("Courier"), 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    printLines(printer, font,
               FileDetails::printedReport(QStringLiteral("File details of ") + displayName(path_), lb,
                                          QDateTime::currentDateTime()));
}
