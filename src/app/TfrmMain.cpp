#include "app/TfrmMain.h"

#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "app/THelpViewer.h"
#include "app/THintStyle.h"
#include "app/TfrmAbout.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/TBackdrop.h"
#include "common/TModal.h"
#include "common/TShadowLabel.h"
#include "common/Text.h"
#include "finders/TfrmBrowse.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "finders/TfrmCache.h"
#include "finders/TfrmClean.h"
#include "finders/TfrmDirHog.h"
#include "finders/TfrmDup.h"
#include "finders/TfrmMods.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmNoDelete.h"
#include "safety/TfrmUnZipIt.h"
#include "safety/ZipRun.h"
#include "stats/TfrmStatistics.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <memory>

const QString TfrmMain::guardMessage =
    QStringLiteral("The list of deletion exceptions has not been created yet.  Click on the Build Non-Delete List "
                   "button to initialize.");

namespace {
constexpr int clientWidth = 557;
constexpr int clientHeight = 428;

QLabel *makerLabel(const QString &name, const QString &text, Qt::Alignment align, const QRect &at, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(19);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(128, 128, 128));
    l->setPalette(pal);
    l->setAlignment(align | Qt::AlignVCenter);
    l->setGeometry(at);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}
}

TfrmMain::TfrmMain(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vantor '95 Version 2.9a from Brackwell Corporation"));
    setFixedSize(clientWidth, clientHeight);
    TBackdrop::applyTile(this);

    lblTitle = new TShadowLabel(QStringLiteral("Vantor 95"), QStringLiteral("Times New Roman"), 55, this);
    lblTitle->setObjectName(QStringLiteral("EsLabel1"));
    lblTitle->setColours(QColor(128, 128, 128), QColor(40, 40, 40), QColor(224, 224, 224));
    lblTitle->setDepth(3);
    lblTitle->setGeometry(0, 6, clientWidth, 78);

    btDuplicate = toolButton(QStringLiteral("btDuplicate"), QStringLiteral("&Duplicate files"),
                             QStringLiteral("Locate duplicate files"), 0, 0, &TfrmMain::btDuplicateClick);
    btFileHog = toolButton(QStringLiteral("btFileHog"), QStringLiteral("&File hogs"),
                           QStringLiteral("Locate large files"), 0, 1, &TfrmMain::btFileHogClick);
    btFiles = toolButton(QStringLiteral("btFiles"), QStringLiteral("Files &accessed"),
                         QStringLiteral("Locate old and recent files"), 0, 2, &TfrmMain::btFilesClick);
    btDirHogs = toolButton(QStringLiteral("btDirHogs"), QStringLiteral("Folder &hogs"),
                           QStringLiteral("Locate folders taking the most space"), 0, 3, &TfrmMain::btDirHogsClick);
    btClean = toolButton(QStringLiteral("btClean"), QStringLiteral("&Quick clean"),
                         QStringLiteral("Quickly clean up temporary files"), 0, 4, &TfrmMain::btCleanClick);
    btStatistic = toolButton(QStringLiteral("btStatistic"), QStringLiteral("&Statistics"),
                             QStringLiteral("Compute disk statistics"), 1, 0, &TfrmMain::btStatisticClick);
    btBrowse = toolButton(QStringLiteral("btBrowse"), QStringLiteral("&Browse"),
                          QStringLiteral("Browse through disks/folders"), 1, 1, &TfrmMain::btBrowseClick);
    btClearCache = toolButton(QStringLiteral("btClearCache"), QStringLiteral("&Clear internet files"),
                              QStringLiteral("Clean up web browser cache folders"), 1, 2,
                              &TfrmMain::btClearCacheClick);
    btZip = toolButton(QStringLiteral("btZip"), QStringLiteral("&Unzip archive files"),
                       QStringLiteral("Unzip files that have been zipped up by Vantor (compressed)"), 1, 3,
                       &TfrmMain::btZipClick);
    btBuild = toolButton(QStringLiteral("btBuild"), QStringLiteral("Build &non-delete list"),
                         QStringLiteral("Build list of folders that will not be deleted in Vantor without warning"), 1,
                         4, &TfrmMain::btBuildClick);
    btReach = rowButton(QStringLiteral("btReach"), QStringLiteral("Ab&out"), {}, 0, &TfrmMain::btReachClick);
    btHelp = rowButton(QStringLiteral("btHelp"), QStringLiteral("H&elp"), {}, 1, &TfrmMain::btHelpClick);
    btClose = rowButton(QStringLiteral("btClose"), QStringLiteral("E&xit"), QStringLiteral("Quit and close "), 2,
                        &TfrmMain::btCloseClick);

    EsLabel2 = makerLabel(QStringLiteral("EsLabel2"), QString::fromLatin1(TfrmAbout::makerName), Qt::AlignLeft,
                          QRect(14, 388, 260, 30), this);
    EsLabel3 = makerLabel(QStringLiteral("EsLabel3"), QStringLiteral("www.brackwell.example"), Qt::AlignRight,
                          QRect(283, 388, 260, 30), this);
    EsLabel2->installEventFilter(this);
    EsLabel3->installEventFilter(this);

    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() = default;

THelpViewer *TfrmMain::helpViewer() const { return help_.data(); }

QPushButton *TfrmMain::toolButton(const QString &name, const QString &caption, const QString &hint, int column,
                                  int row, void (TfrmMain::*handler)())
{
    // Each tool button sits in a lowered frame of its own.
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("pnl") + name.mid(2));
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(2);
    frame->setGeometry(column == 0 ? 40 : 296, 94 + row * 48, 221, 44);
    auto *b = new QPushButton(caption, frame);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setGeometry(4, 4, 213, 36);
    connect(b, &QPushButton::clicked, this, handler);
    return b;
}

QPushButton *TfrmMain::rowButton(const QString &name, const QString &caption, const QString &hint, int index,
                                 void (TfrmMain::*handler)())
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    b->setGeometry(84 + index * 136, 345, 116, 32);
    connect(b, &QPushButton::clicked, this, handler);
    return b;
}

void TfrmMain::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    // Restoring from the task bar is not a new show.
    if (!e->spontaneous())
        FormShow();
}

void TfrmMain::FormShow()
{
    nonDeleteList().forgetLastFolder();
    const QScreen *s = screen();
    applyBackground(s ? s->depth() : 32);
    AppState::defaultZipPath = IniFile().readString(QStringLiteral("ZipFile"), QStringLiteral("Path"),
                                                    QStringLiteral("C:\\"));
    // An archive a killed zip run left without its directory is made whole
    // at once, so that other zip programs read it before it is next listed;
    // the repair is reported.
    ZipRun::repairAndReport();
    GetSearchPath();
    THintStyle::install();
    warnRefusedSettings();
}

void TfrmMain::warnRefusedSettings()
{
    if (settingsChecked_)
        return;
    settingsChecked_ = true;
    for (const char *name : {"vantor.ini", "drives.ini", "registry.ini"}) {
        const std::string file = Paths::settingsFile(name);
        const std::string why = AtomicFile::refusalOf(file);
        if (why.empty())
            continue;
        if (file == IniFile().path())
            IniFile::refusalAnnounced(file);
        dialogs().showWarning(QStringLiteral("Unable to read ") + displayName(file) + QStringLiteral(": ")
                                  + QString::fromStdString(why)
                                  + QStringLiteral(". It is left as it is, and Vantor goes on without it."));
    }
}

void TfrmMain::applyBackground(int colourDepth)
{
    gradient_ = colourDepth < 15;
    if (gradient_)
        TBackdrop::applyGradient(this);
    else
        TBackdrop::applyTile(this);
}

void TfrmMain::GetSearchPath() { nonDeleteList().load(); }

bool TfrmMain::noRunGoingOn()
{
    if (!Runs::anyRunning())
        return true;
    dialogs().showInfo(Runs::busyText());
    return false;
}

bool TfrmMain::checkExceptionList()
{
    if (!noRunGoingOn())
        return false;
    if (nonDeleteList().listUnreadable()) {
        dialogs().showError(FoldersFile::unreadableText());
        return false;
    }
    if (!nonDeleteList().listMissing())
        return true;
    dialogs().showError(guardMessage);
    return false;
}

int TfrmMain::runTool(QDialog *tool)
{
    std::unique_ptr<QDialog> owned(tool);
    if (!noRunGoingOn())
        return QDialog::Rejected;
    // A tool stores its settings as it closes; a failed store closes it as cancelled.
    int result = QDialog::Rejected;
    writeOrReport([&] { result = TModal::exec(tool); });
    owned.reset();
    // A closed tool leaves the keyboard focus where the window system puts
    // it, often nowhere: the main window takes it back, so that its keys
    // (Alt+D ...) work at once, without a click first.
    if (isVisible())
        activateWindow();
    return result;
}

void TfrmMain::btDuplicateClick()
{
    AppState::dupMode = true;
    if (!checkExceptionList())
        return;
    runTool(new TfrmDup(this));
}

void TfrmMain::btFileHogClick()
{
    AppState::dupMode = false;
    if (!checkExceptionList())
        return;
    runTool(new TfrmDup(this));
}

void TfrmMain::btFilesClick()
{
    if (!checkExceptionList())
        return;
    runTool(new TfrmMods(this));
}

void TfrmMain::btDirHogsClick()
{
    if (!checkExceptionList())
        return;
    runTool(new TfrmDirHog(this));
}

void TfrmMain::btCleanClick()
{
    if (!checkExceptionList())
        return;
    runTool(new TfrmClean(this));
}

void TfrmMain::btStatisticClick()
{
    TfrmStatistics &w = TfrmStatistics::instance();
    w.show();
    w.raise();
    w.activateWindow();
}

void TfrmMain::btBrowseClick()
{
    if (!checkExceptionList())
        return;
    runTool(new TfrmBrowse(this));
}

void TfrmMain::btClearCacheClick()
{
    if (!checkExceptionList())
        return;
    runTool(new TfrmCache(this));
}

void TfrmMain::btZipClick()
{
    // Extraction only writes new files, so it needs no non-delete list.
    runTool(new TfrmUnZipIt(this));
}

void TfrmMain::btBuildClick()
{
    runTool(new TfrmNoDelete(this));
    GetSearchPath();
}

void TfrmMain::btReachClick() { runTool(new TfrmAbout(this)); }

void TfrmMain::btHelpClick()
{
    if (!help_) {
        help_ = new THelpViewer(this);
        help_->setWindowFlag(Qt::Window);
    }
    help_->showTopic(1);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void TfrmMain::btCloseClick() { close(); }

void TfrmMain::closeEvent(QCloseEvent *e)
{
    QWidget::closeEvent(e);
    if (e->isAccepted())
        emit closed();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *e)
{
    if ((watched == EsLabel2 || watched == EsLabel3) && e->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
        btReachClick();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}
