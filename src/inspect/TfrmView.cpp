#include "inspect/TfrmView.h"

#include "settings/TWinPlace.h"
#include "common/Dialogs.h"
#include "common/EventPump.h"
#include "common/Runs.h"
#include "common/TModal.h"
#include "common/TPrintLines.h"
#include "common/Text.h"
#include "inspect/PagedFile.h"
#include "inspect/StringsScanner.h"
#include "inspect/TFindDlg.h"
#include "inspect/LineIndex.h"
#include "inspect/TViewer.h"
#include "inspect/ViewText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryFile>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QString stringsCaption = QStringLiteral("Pee&k at strings");

// The printer of every viewer, so a printer setup holds for later prints.
QPrinter &viewerPrinter()
{
    struct Holder : QObject {
        QPrinter printer;
    };
    static QPointer<Holder> holder;
    if (!holder)
        holder = new Holder; // owned by the application below
    if (!holder->parent() && qApp)
        holder->setParent(qApp);
    return holder->printer;
}

// The native path (bytes) of a dropped file URL; percent-encoded bytes that
// are not UTF-8 come back as they were.
std::string droppedPath(const QUrl &url)
{
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return QByteArray::fromPercentEncoding(encoded).toStdString();
}

QAction *menuItem(QMenu *menu, const char *name, const QString &text, const QKeySequence &key = {})
{
    QAction *a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}
}

TfrmView::TfrmView(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmView"));
    setWindowTitle(QStringLiteral("View file"));
    setSizeGripEnabled(true);
    // Resizable, and its placement remembers a maximised window: it has a maximise box.
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(640, 480);

    auto *top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    auto *menus = new QMenuBar(this);
    top->setMenuBar(menus);
    File1 = menus->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Open1 = menuItem(File1, "Open1", QStringLiteral("&Open..."));
    Print1 = menuItem(File1, "Print1", QStringLiteral("&Print..."));
    PrintSetup1 = menuItem(File1, "PrintSetup1", QStringLiteral("P&rint setup..."));
    File1->addSeparator();
    Exit1 = menuItem(File1, "Exit1", QStringLiteral("E&xit"), QKeySequence(Qt::ALT | Qt::Key_F4));
    Clipboard1 = menus->addMenu(QStringLiteral("&Clipboard"));
    Clipboard1->setObjectName(QStringLiteral("Clipboard1"));
    Copy1 = menuItem(Clipboard1, "Copy1", QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_Insert));
    SelectAll1 = menuItem(Clipboard1, "SelectAll1", QStringLiteral("&Select all"));
    Search1 = menus->addMenu(QStringLiteral("&Search"));
    Search1->setObjectName(QStringLiteral("Search1"));
    Find1 = menuItem(Search1, "Find1", QStringLiteral("&Find..."));
    FindNext1 = menuItem(Search1, "FindNext1", QStringLiteral("Find &next"), QKeySequence(Qt::Key_F3));
    GotoLine1 = menuItem(Search1, "GotoLine1", QStringLiteral("&Go to line..."), QKeySequence(Qt::Key_F4));
    Options1 = menus->addMenu(QStringLiteral("&Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    HexMode1 = menuItem(Options1, "HexMode1", QStringLiteral("&Hex Mode"), QKeySequence(Qt::Key_F8));
    HexMode1->setCheckable(true);
    TabExpansion1 = menuItem(Options1, "TabExpansion1", QStringLiteral("&Tab expansion"));
    TabExpansion1->setCheckable(true);
    TabSize1 = menuItem(Options1, "TabSize1", QStringLiteral("Tab si&ze..."));
    Font1 = menuItem(Options1, "Font1", QStringLiteral("&Font..."));
    // Shortcuts work wherever the focus is in the window.
    for (QAction *a : {Exit1, Copy1, FindNext1, GotoLine1, HexMode1})
        addAction(a);

    Viewer1 = new TViewer(this);
    top->addWidget(Viewer1, 1);

    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("Header1"));
    auto *hl = new QHBoxLayout(header);
    hl->setContentsMargins(0, 0, 0, 0);
    hl->setSpacing(0);
    const int widths[4] = {90, 130, 100, 0};
    for (int i = 0; i < 4; ++i) {
        Header1[i] = new QLabel(header);
        Header1[i]->setObjectName(QStringLiteral("Header1_%1").arg(i));
        Header1[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Header1[i]->setTextInteractionFlags(Qt::NoTextInteraction);
        if (widths[i])
            Header1[i]->setFixedWidth(widths[i]);
        hl->addWidget(Header1[i], widths[i] ? 0 : 1);
    }
    top->addWidget(header);

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto *pl = new QHBoxLayout(panel);
    pl->setContentsMargins(8, 6, 15, 6);
    pl->setSpacing(5);
    rbAscii = new QRadioButton(QStringLiteral("&ASCII"), panel);
    rbAscii->setObjectName(QStringLiteral("rbAscii"));
    rbAscii->setChecked(true);
    rbHex = new QRadioButton(QStringLiteral("&Hex"), panel);
    rbHex->setObjectName(QStringLiteral("rbHex"));
    pl->addWidget(rbAscii);
    pl->addWidget(rbHex);
    pl->addStretch(1);
    const auto button = [&](QPushButton *&b, const char *name, const QString &text) {
        b = new QPushButton(text, panel);
        b->setObjectName(QLatin1String(name));
        pl->addWidget(b);
    };
    button(btFont, "btFont", QStringLiteral("Fo&nt"));
    button(btPrint, "btPrint", QStringLiteral("P&rint setup"));
    button(BitBtn1, "BitBtn1", QStringLiteral("&Print"));
    button(btStrings, "btStrings", stringsCaption);
    btStrings->setToolTip(QStringLiteral("Peek inside file for ASCII strings"));
    button(btClose, "btClose", QStringLiteral("Close"));
    for (QPushButton *b : {btFont, btPrint, BitBtn1, btStrings, btClose})
        b->setAutoDefault(false);
    top->addWidget(panel);

    connect(Open1, &QAction::triggered, this, &TfrmView::Open1Click);
    connect(Print1, &QAction::triggered, this, &TfrmView::Print1Click);
    connect(PrintSetup1, &QAction::triggered, this, &TfrmView::PrintSetup1Click);
    connect(Exit1, &QAction::triggered, this, &TfrmView::Exit1Click);
    connect(Copy1, &QAction::triggered, this, &TfrmView::Copy1Click);
    connect(SelectAll1, &QAction::triggered, this, &TfrmView::SelectAll1Click);
    connect(Find1, &QAction::triggered, this, &TfrmView::Find1Click);
    connect(FindNext1, &QAction::triggered, this, &TfrmView::FindNext1Click);
    connect(GotoLine1, &QAction::triggered, this, &TfrmView::GotoLine1Click);
    connect(HexMode1, &QAction::triggered, this, &TfrmView::HexMode1Click);
    connect(TabExpansion1, &QAction::triggered, this, &TfrmView::TabExpansion1Click);
    connect(TabSize1, &QAction::triggered, this, &TfrmView::TabSize1Click);
    connect(Font1, &QAction::triggered, this, &TfrmView::Font1Click);
    connect(File1, &QMenu::aboutToShow, this, &TfrmView::File1Click);
    connect(Clipboard1, &QMenu::aboutToShow, this, &TfrmView::Clipboard1Click);
    connect(Search1, &QMenu::aboutToShow, this, &TfrmView::Search1Click);
    connect(rbAscii, &QRadioButton::clicked, this, &TfrmView::rbAsciiClick);
    connect(rbHex, &QRadioButton::clicked, this, &TfrmView::rbHexClick);
    connect(btFont, &QPushButton::clicked, this, &TfrmView::Font1Click);
    connect(btPrint, &QPushButton::clicked, this, &TfrmView::PrintSetup1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmView::Print1Click);
    connect(btStrings, &QPushButton::clicked, this, &TfrmView::btStringsClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmView::btCloseClick);
    connect(Viewer1, &TViewer::statusChanged, this, &TfrmView::Viewer1ShowStatus);

    // FormCreate: tab expansion as the viewer has it, drops accepted, and
    // centred when no placement is stored.
    TabExpansion1->setChecked(Viewer1->tabExpansion());
    setAcceptDrops(true);
    place_ = new TWinPlace(this);
    place_->IniFileName = QStringLiteral("vantor.ini");
    place_->Identifier = QStringLiteral("frmView");
    if (!place_->hasStored())
        place_->centre();
    recomputeItems();
    Viewer1ShowStatus();
}

TfrmView::~TfrmView()
{
    setAcceptDrops(false);
    place_->save();
}

void TfrmView::viewFile(const std::string &path, QWidget *parent)
{
    TfrmView v(parent);
    v.setPath(path);
    TModal::exec(&v);
}

void TfrmView::hideStringsControls()
{
    btStrings->hide();
    rbAscii->hide();
    rbHex->hide();
    HexMode1->setVisible(false);
}

void TfrmView::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous() && !shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmView::FormShow()
{
    if (!path_.empty() && !Viewer1->openFile(path_))
        dialogs().showError(QStringLiteral("Could not open file ") + displayName(path_));
    setWindowTitle(QStringLiteral("View File : ") + displayName(path_));
    recomputeItems();
    Viewer1->setFocus();
}

bool TfrmView::busy() const { return Viewer1->busy() || scanning_; }

bool TfrmView::refusedWhileBusy()
{
    if (!busy())
        return false;
    dialogs().showInfo(Runs::busyText());
    return true;
}

bool TfrmView::openFile(const std::string &path)
{
    // A count, search or strings scan in progress keeps the file it reads.
    if (refusedWhileBusy())
        return false;
    if (!Viewer1->openFile(path)) {
        dialogs().showError(QStringLiteral("Could not open file ") + displayName(path));
        recomputeItems();
        Viewer1ShowStatus();
        return false;
    }
    setWindowTitle(QStringLiteral("View File : ") + displayName(path));
    recomputeItems();
    return true;
}

void TfrmView::Open1Click()
{
    if (refusedWhileBusy())
        return;
    // "*": names without a dot (README, Makefile) are files too.
    const auto chosen = dialogs().chooseOpenFile(QStringLiteral("Open"), QStringLiteral("All Files (*)"));
    if (chosen)
        openFile(*chosen);
}

void TfrmView::dragEnterEvent(QDragEnterEvent *e)
{
    if (!busy() && e->mimeData()->hasUrls() && e->mimeData()->urls().first().isLocalFile())
        e->acceptProposedAction();
}

void TfrmView::dropEvent(QDropEvent *e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    e->acceptProposedAction();
    FilesDropped(urls);
}

void TfrmView::FilesDropped(const QList<QUrl> &urls)
{
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    openFile(droppedPath(urls.first()));
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TfrmView::Exit1Click() { reject(); }
void TfrmView::btCloseClick() { reject(); }

bool TfrmView::abortRuns()
{
    if (!busy())
        return false;
    Viewer1->abortRun();
    stringsAborted_ = scanning_;
    return true;
}

void TfrmView::reject()
{
    // A count, search or strings scan in progress is stopped first; the
    // window closes when asked again.
    if (!abortRuns())
        QDialog::reject();
}

void TfrmView::closeEvent(QCloseEvent *e)
{
    if (abortRuns()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void TfrmView::recomputeItems()
{
    File1Click();
    Clipboard1Click();
    Search1Click();
}

void TfrmView::File1Click()
{
    Open1->setEnabled(!busy());
    Print1->setEnabled(Viewer1->hasLines());
    BitBtn1->setEnabled(Viewer1->hasLines());
}

void TfrmView::Clipboard1Click()
{
    Copy1->setEnabled(Viewer1->hasSelection());
    SelectAll1->setEnabled(Viewer1->hasLines());
}

void TfrmView::Search1Click()
{
    const bool lines = Viewer1->hasLines();
    Find1->setEnabled(lines);
    FindNext1->setEnabled(lines && !TFindDlg::instance().text().isEmpty());
    GotoLine1->setEnabled(lines);
}

void TfrmView::fitStatusWidths()
{
    // Each section as wide as the widest value this file can give: lines
    // and the top line are at most one more than the bytes, a text row's
    // column at most kWidth bytes each expanded to a tab's width.
    const QFontMetrics fm = Header1[0]->fontMetrics();
    const auto fit = [&](QLabel *label, int atLeast, const QString &widest) {
        const int frame = 2 * label->frameWidth() + fm.horizontalAdvance(QLatin1Char('x'));
        label->setFixedWidth(std::max(atLeast, fm.horizontalAdvance(widest) + frame));
    };
    const auto nines = [](QString digits) {
        for (QChar &c : digits)
            if (c.isDigit())
                c = QLatin1Char('9');
        return digits;
    };
    const int64_t lines = int64_t(std::min<uint64_t>(Viewer1->fileSize(), INT64_MAX - 1)) + 1;
    const int64_t columns = Viewer1->hexMode() ? 100 : int64_t(LineIndex::kWidth) * std::max(1, Viewer1->tabSize()) + 1;
    fit(Header1[0], 90, nines(QString::number(lines) + QLatin1Char(':') + QString::number(columns)));
    fit(Header1[1], 130, QStringLiteral("Total: ") + nines(formatThousands(lines)));
    fit(Header1[2], 100, QStringLiteral("Top: ") + nines(QString::number(lines)));
}

void TfrmView::Viewer1ShowStatus()
{
    fitStatusWidths();
    const bool open = Viewer1->isOpen();
    Header1[0]->setText(QStringLiteral("%1:%2")
                            .arg(open ? Viewer1->caretLine() + 1 : 1)
                            .arg(open ? Viewer1->caretColumn() + 1 : 1)
                            .leftJustified(8, QLatin1Char(' ')));
    const auto count = Viewer1->lineCount();
    Header1[1]->setText(QStringLiteral("Total: ") + (count ? formatThousands(int64_t(*count)) : QStringLiteral("?")));
    Header1[2]->setText(QStringLiteral("Top: ") + QString::number(Viewer1->topLine() + 1).leftJustified(5, QLatin1Char(' ')));
    Header1[3]->setText(QStringLiteral("Bytes: ") + formatThousands(int64_t(Viewer1->fileSize())));
    Clipboard1Click();
}

void TfrmView::SelectAll1Click()
{
    Viewer1->selectAll();
    Clipboard1Click();
}

void TfrmView::Copy1Click() { Viewer1->copy(); }

void TfrmView::searchDone(bool found, const QString &text)
{
    if (!found)
        dialogs().showInfo(QStringLiteral("Search string '") + text + QStringLiteral("' not found"));
    Search1Click();
}

void TfrmView::Find1Click()
{
    TFindDlg &dlg = TFindDlg::instance();
    if (TModal::exec(&dlg) != QDialog::Accepted)
        return;
    const QString text = dlg.text();
    if (text.isEmpty()) {
        Search1Click();
        return;
    }
    searchDone(Viewer1->find(text, dlg.backward(), dlg.matchCase(), dlg.global()), text);
}

void TfrmView::FindNext1Click()
{
    const TFindDlg &dlg = TFindDlg::instance();
    const QString text = dlg.text();
    if (text.isEmpty() || !Viewer1->hasLines())
        return;
    searchDone(Viewer1->find(text, dlg.backward(), dlg.matchCase(), false), text);
}

void TfrmView::GotoLine1Click()
{
    if (!Viewer1->hasLines() || !Viewer1->countLines())
        return;
    const auto count = Viewer1->lineCount();
    const auto answer = dialogs().inputText(QStringLiteral("Go to line number"),
                                            QStringLiteral("Enter line number (1 to ") + QString::number(count.value_or(0))
                                                + QStringLiteral(")"));
    if (!answer)
        return;
    bool ok = false;
    const qulonglong n = answer->trimmed().toULongLong(&ok);
    if (ok && n >= 1)
        Viewer1->goToLine(n - 1);
}

void TfrmView::HexMode1Click()
{
    const bool on = !Viewer1->hexMode();
    HexMode1->setChecked(on);
    rbHex->setChecked(on);
    rbAscii->setChecked(!on);
    Viewer1->setHexMode(on);
}

void TfrmView::rbAsciiClick()
{
    HexMode1->setChecked(false);
    rbAscii->setChecked(true);
    Viewer1->setHexMode(false);
}

void TfrmView::rbHexClick()
{
    HexMode1->setChecked(true);
    rbHex->setChecked(true);
    Viewer1->setHexMode(true);
}

void TfrmView::TabExpansion1Click()
{
    const bool on = !Viewer1->tabExpansion();
    TabExpansion1->setChecked(on);
    Viewer1->setTabExpansion(on);
}

void TfrmView::TabSize1Click()
{
    const auto answer = dialogs().inputText(QStringLiteral("Tab Size"), QStringLiteral("Enter tab size"),
                                            QString::number(Viewer1->tabSize()));
    if (!answer)
        return;
    bool ok = false;
    const int n = answer->trimmed().toInt(&ok);
    if (ok && n >= 0 && n <= 255)
        Viewer1->setTabSize(n);
}

void TfrmView::Font1Click()
{
    if (const auto f = dialogs().chooseFont(Viewer1->font(), true))
        Viewer1->setViewerFont(*f);
}

void TfrmView::PrintSetup1Click() { dialogs().printerSetup(viewerPrinter()); }

void TfrmView::Print1Click()
{
    if (!Viewer1->hasLines())
        return;
    const bool selection = Viewer1->hasSelection();
    QPrinter &printer = viewerPrinter();
    printer.setPrintRange(QPrinter::AllPages);
    if (!dialogs().choosePrintRange(printer, selection, QStringLiteral("Print")))
        return;
    if (selection && printer.printRange() == QPrinter::Selection) {
        const TViewer::Position a = Viewer1->selectionStart(), b = Viewer1->selectionEnd();
        std::vector<QString> lines;
        for (uint64_t i = a.line; i <= b.line; ++i)
            lines.push_back(Viewer1->lineText(i));
        QStringList out;
        for (const QString &l : ViewText::selectionLines(std::move(lines), a.column, b.column))
            out << l;
        printLines(printer, Viewer1->font(), out);
        return;
    }
    if (!Viewer1->countLines())
        return;
    printLines(printer, Viewer1->font(), Viewer1->lineCount().value_or(0),
               [&](uint64_t i) { return Viewer1->lineText(i); });
}

void TfrmView::btStringsClick()
{
    // During the scan the button is its Abort.
    if (scanning_) {
        stringsAborted_ = true;
        return;
    }
    if (refusedWhileBusy())
        return;
    // The strings of the file shown now (the one given, or one opened since).
    const std::string source = Viewer1->isOpen() ? Viewer1->path() : path_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTemporaryFile out(QDir::tempPath() + QStringLiteral("/strXXXXXX"));
    if (!out.open()) {
        QApplication::restoreOverrideCursor();
        dialogs().showError(QStringLiteral("Could not create a temporary file in ") + QDir::tempPath());
        return;
    }
    PagedFile in;
    if (!in.open(source)) {
        QApplication::restoreOverrideCursor();
        dialogs().showError(QStringLiteral("Could not open file ") + displayName(source));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        StringsScanner scanner;
        std::string text;
        const Runs::Token token(QStringLiteral("a strings scan"), [this] { stringsAborted_ = true; });
        scanning_ = true;
        stringsAborted_ = false;
        btStrings->setText(QStringLiteral("&Abort"));
        File1Click();
        EventPump pump;
        bool writeOk = true;
        in.scan(0, in.size(), [&](const uint8_t *data, size_t n, uint64_t) {
            static const uint8_t zero = 0;
            // A hole is zero bytes: its first one ends any run, the rest add nothing.
            scanner.feed(data ? data : &zero, data ? n : 1, text);
            if (text.size() >= (1u << 20)) {
                writeOk = out.write(text.data(), qint64(text.size())) == qint64(text.size());
                text.clear();
            }
            pump.pump();
            return writeOk && !stringsAborted_;
        }, true);
        scanning_ = false;
        btStrings->setText(stringsCaption);
        File1Click();
        if (stringsAborted_) {
            QApplication::restoreOverrideCursor();
            return;
        }
        if (writeOk && !text.empty())
            writeOk = out.write(text.data(), qint64(text.size())) == qint64(text.size());
        if (!writeOk || !out.flush()) {
            QApplication::restoreOverrideCursor();
            dialogs().showError(QStringLiteral("Could not write the strings to ") + out.fileName());
            return;
        }
    }
    QApplication::restoreOverrideCursor();
    TfrmView strings(this);
    strings.hideStringsControls();
    strings.setPath(QFile::encodeName(out.fileName()).toStdString());
    TModal::exec(&strings);
}
