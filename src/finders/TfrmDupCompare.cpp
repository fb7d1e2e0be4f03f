#include "finders/TfrmDupCompare.h"

#include "common/Dialogs.h"
#include "common/EventPump.h"
#include "common/Navigation.h"
#include "common/Runs.h"
#include "common/TLongLived.h"
#include "common/TDrawnPicture.h"
#include "common/TPathLabel.h"
#include "common/TPrintImage.h"
#include "common/TShell.h"
#include "common/Text.h"
#include "finders/PairChecksum.h"
#include "finders/PictureHash.h"
#include "finders/TfrmDup.h"
#include "inspect/TFileIcon.h"
#include "platform/FileLookup.h"
#include "safety/NonDeleteList.h"
#include "scan/TExtensionList.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QHideEvent>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QKeyEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <utility>

namespace {
const QColor kAqua(0, 255, 255);
const QColor kYellow(255, 255, 0);
const QString kInNonDeleteList = QStringLiteral("** In Non-Delete List **");
// The room each picture of a pair is scaled to fit.
const QSize kPictureBox(320, 240);

// The hourglass for the length of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

enum class Arrow { Left, Right, Equal };

// The stamp arrows between the boxes, drawn in code: an arrow pointing at
// the more recent file, or an equals sign.
QPixmap arrowPicture(Arrow kind, qreal ratio)
{
    const QSize size(28, 14);
    return drawnPicture(size, ratio, [&](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 128));
        if (kind == Arrow::Equal) {
            p.drawRect(QRectF(6, 3, 16, 2.5));
            p.drawRect(QRectF(6, 8.5, 16, 2.5));
            return;
        }
        // Pointing left; mirrored for the right arrow.
        if (kind == Arrow::Right)
            p.setTransform(QTransform(-1, 0, 0, 1, size.width(), 0));
        p.drawPath(outline({{2, 7}, {11, 0.5}, {11, 4.5}, {26, 4.5}, {26, 9.5}, {11, 9.5}, {11, 13.5}}));
    });
}

// tlBox1DrawItem: each line on the button face colour, 2 pixels from the
// left edge; aqua where it differs from the other list's line.
class ProfileDelegate : public QStyledItemDelegate {
public:
    ProfileDelegate(QListWidget *mine, QListWidget *other, QObject *parent)
        : QStyledItemDelegate(parent), mine_(mine), other_(other)
    {
    }
    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool differs = DupPairs::profileLineDiffers(TExtensionList::lines(mine_), TExtensionList::lines(other_),
                                                          index.row());
        p->fillRect(option.rect, differs ? kAqua : mine_->palette().color(QPalette::Base));
        p->setPen(option.palette.color(QPalette::Text));
        p->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    index.data(Qt::DisplayRole).toString());
    }

private:
    QListWidget *mine_, *other_;
};

QLabel *valueLabel(QWidget *parent, const QString &name, int side)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name + QString::number(side + 1));
    l->setAutoFillBackground(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

void setBackground(QWidget *w, const QColor &c)
{
    QPalette pal = w->palette();
    pal.setColor(w->backgroundRole(), c);
    w->setPalette(pal);
}
}

TfrmDupCompare::TfrmDupCompare(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDupCompare"));
    setWindowTitle(QStringLiteral("Compare file pairs"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    const QFontMetrics fm(font());
    // The value column holds at least the longest CRC line.
    const int valueWidth = fm.horizontalAdvance(QStringLiteral("CBF43926 file contents could not be compared")) + 8;

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 3);
    outer->setSpacing(3);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    auto *boxes = new QHBoxLayout;
    boxes->setSpacing(0);
    outer->addLayout(boxes);
    auto *middle = new QWidget(this);
    middle->setObjectName(QStringLiteral("pnlArrows"));
    middle->setFixedWidth(36);

    const QString buttonHints[4] = {QStringLiteral("Browse this file and folder"),
                                    QStringLiteral("Mark file for deletion (double click on grid also works)"),
                                    QStringLiteral("Run/launch associated application"), QStringLiteral("View file")};
    const QString captions[2][4] = {
        {QStringLiteral("&Browse"), QStringLiteral("&Mark"), QStringLiteral("&Open"), QStringLiteral("&View")},
        // Alt+N stays "&Next pair": the right-hand Open and View take
        // letters no other control of the window uses.
        {QStringLiteral("Bro&wse"), QStringLiteral("M&ark"), QStringLiteral("Op&en"), QStringLiteral("V&iew")}};
    for (int s = 0; s < 2; ++s) {
        auto *g = new QGroupBox(this);
        GroupBox[s] = g;
        g->setObjectName(QStringLiteral("GroupBox") + QString::number(s + 1));
        g->setMinimumWidth(310);
        auto *grid = new QGridLayout(g);
        grid->setContentsMargins(8, 6, 8, 6);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(3);
        Image[s] = new QLabel(g);
        Image[s]->setObjectName(QStringLiteral("Image") + QString::number(s + 1));
        Image[s]->setFixedSize(32, 32);
        grid->addWidget(Image[s], 0, 0, Qt::AlignLeft | Qt::AlignTop);
        lblDel[s] = valueLabel(g, QStringLiteral("lblDel"), s);
        lblDel[s]->setAlignment(Qt::AlignCenter);
        lblDel[s]->setFixedWidth(fm.horizontalAdvance(kInNonDeleteList) + 12);
        grid->addWidget(lblDel[s], 0, 1, Qt::AlignRight | Qt::AlignTop);
        const std::pair<const char *, QLabel **> rows[] = {
            {"Creation date:", &lblCreate[s]}, {"Modify date:", &lblModify[s]}, {"Access date:", &lblAccess[s]},
            {"Size:", &lblSize[s]},            {"Attributes:", &lblAttrib[s]},  {"CRC Value:", &lblCRC[s]},
            {"Type:", &lblType[s]}};
        const char *names[] = {"lblCreate", "lblModify", "lblAccess", "lblSize", "lblAttrib", "lblCRC", "lblType"};
        int r = 1;
        for (const auto &[caption, label] : rows) {
            grid->addWidget(new QLabel(QLatin1String(caption), g), r, 0);
            *label = valueLabel(g, QLatin1String(names[r - 1]), s);
            (*label)->setMinimumWidth(valueWidth);
            grid->addWidget(*label, r, 1);
            ++r;
        }
        grid->addWidget(new QLabel(QStringLiteral("Folder:"), g), r, 0);
        lblFolder[s] = new TPathLabel(g);
        lblFolder[s]->setObjectName(QStringLiteral("lblFolder") + QString::number(s + 1));
        lblFolder[s]->setMinimumWidth(valueWidth);
        lblFolder[s]->setAutoFillBackground(true);
        grid->addWidget(lblFolder[s], r, 1);
        auto *buttons = new QHBoxLayout;
        buttons->setSpacing(3);
        std::array<QPushButton **, 4> targets = {&btBrowse[s], &btMark[s], &btLaunch[s], &btView[s]};
        const char *bnames[] = {"btBrowse", "btMark", "btLaunch", "btView"};
        for (int b = 0; b < 4; ++b) {
            auto *btn = new QPushButton(captions[s][b], g);
            btn->setObjectName(QLatin1String(bnames[b]) + QString::number(s + 1));
            btn->setToolTip(buttonHints[b]);
            btn->setAutoDefault(false);
            buttons->addWidget(btn);
            *targets[size_t(b)] = btn;
        }
        buttons->addStretch(1);
        grid->addLayout(buttons, r + 1, 0, 1, 2);
        grid->setColumnStretch(1, 1);
        if (s == 0) {
            boxes->addWidget(g);
            boxes->addWidget(middle);
        } else {
            boxes->addWidget(g);
        }
    }
    QLabel **arrows[] = {&imgCreate, &imgModify, &imgAccess};
    const char *arrowNames[] = {"imgCreate", "imgModify", "imgAccess"};
    for (int i = 0; i < 3; ++i) {
        *arrows[i] = new QLabel(middle);
        (*arrows[i])->setObjectName(QLatin1String(arrowNames[i]));
        (*arrows[i])->setToolTip(QStringLiteral("Arrow points to most recent entry"));
        (*arrows[i])->setAlignment(Qt::AlignCenter);
        (*arrows[i])->setFixedSize(36, 16);
        (*arrows[i])->hide();
    }

    pnlPictures = new QWidget(this);
    pnlPictures->setObjectName(QStringLiteral("pnlPictures"));
    auto *pictures = new QGridLayout(pnlPictures);
    pictures->setContentsMargins(0, 3, 0, 3);
    pictures->setHorizontalSpacing(36);
    pictures->setVerticalSpacing(3);
    for (int s = 0; s < 2; ++s) {
        imgPicture[s] = new QLabel(pnlPictures);
        imgPicture[s]->setObjectName(QStringLiteral("imgPicture") + QString::number(s + 1));
        imgPicture[s]->setFixedSize(kPictureBox);
        imgPicture[s]->setAlignment(Qt::AlignCenter);
        pictures->addWidget(imgPicture[s], 0, s);
        lblPixels[s] = new QLabel(pnlPictures);
        lblPixels[s]->setObjectName(QStringLiteral("lblPixels") + QString::number(s + 1));
        lblPixels[s]->setAlignment(Qt::AlignCenter);
        pictures->addWidget(lblPixels[s], 1, s);
    }
    lblSimilarity = new QLabel(pnlPictures);
    lblSimilarity->setObjectName(QStringLiteral("lblSimilarity"));
    lblSimilarity->setAlignment(Qt::AlignCenter);
    pictures->addWidget(lblSimilarity, 2, 0, 1, 2);
    pnlPictures->hide();
    outer->addWidget(pnlPictures);

    pnlLists = new QWidget(this);
    pnlLists->setObjectName(QStringLiteral("pnlLists"));
    auto *lists = new QHBoxLayout(pnlLists);
    lists->setContentsMargins(0, 0, 0, 0);
    lists->setSpacing(36);
    for (int s = 0; s < 2; ++s) {
        tlBox[s] = new QListWidget(pnlLists);
        tlBox[s]->setObjectName(QStringLiteral("tlBox") + QString::number(s + 1));
        tlBox[s]->setFocusPolicy(Qt::NoFocus);
        tlBox[s]->setSelectionMode(QAbstractItemView::NoSelection);
        tlBox[s]->setFixedHeight(fm.height() * 11 + 2 * tlBox[s]->frameWidth() + 6);
        lists->addWidget(tlBox[s], 1);
    }
    for (int s = 0; s < 2; ++s)
        tlBox[s]->setItemDelegate(new ProfileDelegate(tlBox[s], tlBox[1 - s], tlBox[s]));
    outer->addWidget(pnlLists);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    auto *bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 3, 0, 0);
    bottom->setSpacing(3);
    cbCRC = new QCheckBox(QStringLiteral("Auto compare CRC vals (size must be the same)"), pnlBottom);
    cbCRC->setObjectName(QStringLiteral("cbCRC"));
    cbCRC->setToolTip(QStringLiteral("If checked and file sizes are equal, will check CRC value"));
    bottom->addWidget(cbCRC);
    bottom->addStretch(1);
    const auto button = [&](QPushButton *&b, const char *name, const QString &text, const QString &hint) {
        b = new QPushButton(text, pnlBottom);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setAutoDefault(false);
        bottom->addWidget(b);
    };
    button(sbL1, "sbL1", QStringLiteral("&Prev pair"), QStringLiteral("Display previous match (PgUp)"));
    button(sbR1, "sbR1", QStringLiteral("&Next pair"), QStringLiteral("Display next match (PgDn)"));
    button(btCompute, "btCompute", QStringLiteral("&CRC"),
           QStringLiteral("If CRC values are different the the contents of each file is different"));
    button(btPrint, "btPrint", QStringLiteral("Prin&t"), QStringLiteral("Print file details"));
    button(btClose, "btClose", QStringLiteral("Close"), QString());
    outer->addWidget(pnlBottom);

    connect(sbL1, &QPushButton::clicked, this, &TfrmDupCompare::sbL1Click);
    connect(sbR1, &QPushButton::clicked, this, &TfrmDupCompare::sbR1Click);
    connect(btCompute, &QPushButton::clicked, this, &TfrmDupCompare::btComputeClick);
    connect(btPrint, &QPushButton::clicked, this, &TfrmDupCompare::btPrintClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btMark[0], &QPushButton::clicked, this, &TfrmDupCompare::btMark1Click);
    connect(btMark[1], &QPushButton::clicked, this, &TfrmDupCompare::btMark2Click);
    connect(btLaunch[0], &QPushButton::clicked, this, &TfrmDupCompare::btLaunch1Click);
    connect(btLaunch[1], &QPushButton::clicked, this, &TfrmDupCompare::btLaunch2Click);
    connect(btView[0], &QPushButton::clicked, this, &TfrmDupCompare::btView1Click);
    connect(btView[1], &QPushButton::clicked, this, &TfrmDupCompare::btView2Click);
    for (QPushButton *b : btBrowse)
        connect(b, &QPushButton::clicked, this, &TfrmDupCompare::btBrowse1Click);
    // Page Down and Page Up anywhere in the window.
    auto *next = new QShortcut(QKeySequence(Qt::Key_PageDown), this);
    connect(next, &QShortcut::activated, this, &TfrmDupCompare::sbR1Click);
    auto *prev = new QShortcut(QKeySequence(Qt::Key_PageUp), this);
    connect(prev, &QShortcut::activated, this, &TfrmDupCompare::sbL1Click);

    // The window, its labels and the profile lists on the button face colour.
    changeBackgroundColor(faceColour());
    for (int s = 0; s < 2; ++s)
        blankSide(s);
    setSideButtons();
}

TfrmDupCompare &TfrmDupCompare::instance() { return TLongLived<TfrmDupCompare>::instance(); }

TfrmDup *TfrmDupCompare::finder() const { return finder_.data(); }

QColor TfrmDupCompare::faceColour() const { return QApplication::palette().color(QPalette::Button); }

void TfrmDupCompare::setFinder(TfrmDup *finder)
{
    if (finder_ == finder)
        return;
    for (const auto &c : gridConnections_)
        disconnect(c);
    gridConnections_.clear();
    finder_ = finder;
    if (!finder)
        return;
    // The finder going away takes the comparison with it.
    gridConnections_ << connect(finder, &QObject::destroyed, this, [this] { hide(); });
    const ResultGridModel *m = finder->resultGrid()->gridModel();
    gridConnections_ << connect(m, &QAbstractItemModel::modelReset, this, [this] { gridChanged(true); });
    gridConnections_ << connect(m, &QAbstractItemModel::rowsInserted, this, [this] { gridChanged(false); });
    gridConnections_ << connect(m, &QAbstractItemModel::rowsRemoved, this, [this] { gridChanged(false); });
    gridConnections_ << connect(m, &QAbstractItemModel::layoutChanged, this, [this] { gridChanged(false); });
    // A sort rewrites every column of the rows; a mark touches one cell.
    gridConnections_ << connect(m, &QAbstractItemModel::dataChanged, this,
                                [this](const QModelIndex &tl, const QModelIndex &br) {
                                    if (tl.column() != br.column())
                                        gridChanged(false);
                                });
}

bool TfrmDupCompare::showFor(TfrmDup *finder)
{
    TfrmDupCompare &pairs = instance();
    pairs.setFinder(finder);
    // Transient for the finder: the finder runs modally, and a window that
    // belongs to it still takes input.
    pairs.winId();
    if (finder) {
        finder->winId();
        pairs.windowHandle()->setTransientParent(finder->windowHandle());
    }
    const bool wasShown = pairs.isVisible();
    pairs.show();
    pairs.FormShow();
    // Centred when it opens; while it stays open it stays where the user put it.
    if (const QScreen *s = pairs.screen(); s && !wasShown)
        pairs.move(s->availableGeometry().center() - pairs.rect().center());
    pairs.raise();
    pairs.activateWindow();
    return true;
}

void TfrmDupCompare::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        placeArrows();
}

void TfrmDupCompare::FormShow()
{
    if (busy_)
        return;
    const TfrmDup *f = finder_;
    const int rows = f ? f->resultGrid()->rowsFilled() : 0;
    current_ = f ? std::clamp(f->resultGrid()->selectedRow(), 1, std::max(rows, 1)) : 0;
    if (rows < 1)
        current_ = 0;
    loadPair();
    HighlightDifferences();
    btCompute->setFocus();
}

void TfrmDupCompare::blankSide(int s)
{
    sides_[size_t(s)] = {};
    GroupBox[s]->setTitle(QString());
    Image[s]->clear();
    for (QLabel *l : {lblCreate[s], lblModify[s], lblAccess[s], lblSize[s], lblAttrib[s], lblCRC[s], lblType[s]})
        l->clear();
    lblFolder[s]->setPath(QString());
    tlBox[s]->clear();
}

void TfrmDupCompare::loadSide(int s, int row)
{
    blankSide(s);
    const TfrmDup *f = finder_;
    if (!f || row < 1 || row > f->resultGrid()->rowsFilled())
        return;
    DupPairs::Side &side = sides_[size_t(s)];
    side = DupPairs::load(f->resultGrid()->gridModel()->path(row), QDateTime::currentDateTime());
    // A "&" in a file name is shown, not taken for an accelerator.
    GroupBox[s]->setTitle(QString(side.name).replace(QLatin1Char('&'), QLatin1String("&&")));
    lblFolder[s]->setPath(side.folder);
    if (!side.exists) {
        // Gone since the scan: nothing of it is shown but where it was.
        lblSize[s]->setText(QStringLiteral("File no longer exists"));
        return;
    }
    Image[s]->setPixmap(fileIcon(side.path).pixmap(32, 32));
    tlBox[s]->addItems(side.profile);
    lblType[s]->setText(side.type);
    lblSize[s]->setText(side.size);
    lblAccess[s]->setText(side.accessed);
    lblCreate[s]->setText(side.created);
    lblModify[s]->setText(side.modified);
    lblAttrib[s]->setText(side.attributes);
}

void TfrmDupCompare::loadPair()
{
    crcKnown_ = false;
    loadSide(0, current_);
    loadSide(1, current_ > 0 ? current_ + 1 : 0);
    showPictures();
    setSideButtons();
}

void TfrmDupCompare::showPictures()
{
    std::array<PictureHash::Picture, 2> picture;
    std::array<QImage, 2> shown;
    bool both = true;
    for (size_t s = 0; s < 2 && both; ++s) {
        const DupPairs::Side &side = sides_[s];
        both = side.exists && PictureHash::isCandidateName(side.path)
            && PictureHash::fromFile(side.path, kPictureBox, picture[s], shown[s]) == PictureHash::Decode::Ok;
    }
    pnlPictures->setVisible(both);
    for (int s = 0; s < 2; ++s) {
        imgPicture[s]->clear();
        lblPixels[s]->clear();
    }
    lblSimilarity->clear();
    if (!both)
        return;
    for (int s = 0; s < 2; ++s) {
        QPixmap pm = QPixmap::fromImage(shown[size_t(s)]);
        if (pm.width() > kPictureBox.width() || pm.height() > kPictureBox.height())
            pm = pm.scaled(kPictureBox, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        imgPicture[s]->setPixmap(pm);
        lblPixels[s]->setText(QStringLiteral("%1 \u00d7 %2 pixels, %3")
                                  .arg(picture[size_t(s)].width)
                                  .arg(picture[size_t(s)].height)
                                  .arg(sides_[size_t(s)].size));
    }
    lblSimilarity->setText(PictureHash::similarityText(picture[0].hash, picture[1].hash));
}

void TfrmDupCompare::setSideButtons()
{
    const bool canBrowse = Navigation::isAvailable(Navigation::Target::BrowseFolder);
    const bool canView = Navigation::isAvailable(Navigation::Target::ViewFile);
    for (int s = 0; s < 2; ++s) {
        const DupPairs::Side &side = sides_[size_t(s)];
        const bool any = !side.path.empty();
        btMark[s]->setEnabled(any && !busy_);
        btBrowse[s]->setEnabled(any && canBrowse && !busy_);
        btLaunch[s]->setEnabled(side.exists && !busy_);
        btView[s]->setEnabled(side.exists && canView && !busy_);
    }
    // Next and Previous stay live during a checksum run: they stop it and move on.
    for (QWidget *w : std::initializer_list<QWidget *>{btCompute, btPrint, cbCRC})
        w->setEnabled(!busy_);
}

void TfrmDupCompare::HighlightDifferences()
{
    resizeIt();
    for (int s = 0; s < 2; ++s) {
        const DupPairs::Side &side = sides_[size_t(s)];
        const bool listed = side.exists && isOnNonDeleteList(side.path, true) != 0;
        lblDel[s]->setText(listed ? kInNonDeleteList : QString());
        lblDel[s]->setAutoFillBackground(listed);
        setBackground(lblDel[s], listed ? kYellow : background_);
    }
    if (cbCRC->isChecked() && !crcKnown_ && sides_[0].exists && sides_[1].exists
        && lblSize[0]->text() == lblSize[1]->text())
        computeCRCValues();
    const std::array<QLabel *, 2> pairs[] = {{lblSize[0], lblSize[1]},     {lblType[0], lblType[1]},
                                             {lblCreate[0], lblCreate[1]}, {lblModify[0], lblModify[1]},
                                             {lblAccess[0], lblAccess[1]}, {lblAttrib[0], lblAttrib[1]},
                                             {lblCRC[0], lblCRC[1]}};
    for (const auto &p : pairs) {
        const QColor c = p[0]->text() != p[1]->text() ? kAqua : background_;
        setBackground(p[0], c);
        setBackground(p[1], c);
    }
    const std::pair<QLabel *, DupPairs::Newer> arrows[] = {
        {imgCreate, DupPairs::newer(sides_[0].createdStamp, sides_[1].createdStamp)},
        {imgAccess, DupPairs::newer(sides_[0].accessDay, sides_[1].accessDay)},
        {imgModify, DupPairs::newer(sides_[0].modifiedStamp, sides_[1].modifiedStamp)}};
    const qreal ratio = devicePixelRatioF();
    for (const auto &[img, which] : arrows) {
        if (which == DupPairs::Newer::Unknown) {
            img->hide();
            continue;
        }
        img->setPixmap(arrowPicture(which == DupPairs::Newer::Left    ? Arrow::Left
                                    : which == DupPairs::Newer::Right ? Arrow::Right
                                                                      : Arrow::Equal,
                                    ratio));
        img->setProperty("newer", which == DupPairs::Newer::Left    ? QStringLiteral("left")
                                  : which == DupPairs::Newer::Right ? QStringLiteral("right")
                                                                    : QStringLiteral("same"));
        img->show();
    }
    for (QListWidget *l : tlBox)
        l->viewport()->update();
}

void TfrmDupCompare::resizeIt()
{
    const bool lists = tlBox[0]->count() > 1 || tlBox[1]->count() > 1;
    pnlLists->setVisible(lists);
    // move() places the frame, so the frame is measured, not the client area
    // (mixing the two moved the window by its title bar at every call).
    const QRect before = frameGeometry();
    layout()->activate();
    placeArrows();
    if (!isVisible())
        return;
    // The window keeps its bottom edge where it was, and stays on the screen.
    const QRect avail = screen() ? screen()->availableGeometry() : QRect();
    const QPoint at = DupPairs::placeKeepingBottom(before, frameGeometry().size(), avail);
    if (at != pos())
        move(at);
}

void TfrmDupCompare::placeArrows()
{
    // Each arrow beside its stamp's row, between the two boxes.
    QWidget *middle = imgCreate->parentWidget();
    const std::pair<QLabel *, QLabel *> rows[] = {
        {imgCreate, lblCreate[0]}, {imgModify, lblModify[0]}, {imgAccess, lblAccess[0]}};
    for (const auto &[img, row] : rows) {
        const QPoint at = row->mapTo(this, QPoint(0, 0));
        img->move(0, middle->mapFrom(this, at).y() + (row->height() - img->height()) / 2);
    }
}

void TfrmDupCompare::computeCRCValues()
{
    if (busy_ || current_ < 1)
        return;
    const std::string left = sides_[0].path, right = sides_[1].path;
    if (left.empty() || right.empty())
        return;
    PairChecksum::Result r;
    {
        const Runs::Token token(QStringLiteral("a checksum comparison"), [this] { stop_ = true; });
        const WaitCursor wait;
        busy_ = true;
        stop_ = false;
        setSideButtons();
        EventPump pump;
        r = PairChecksum::compare(left, right, [&] {
            pump.pump();
            return !stop_;
        });
        busy_ = false;
        setSideButtons();
    }
    if (r.stopped || sides_[0].path != left || sides_[1].path != right) {
        crcKnown_ = false;
    } else {
        lblCRC[0]->setText(PairChecksum::crcLine(r.left, r.verdict));
        lblCRC[1]->setText(PairChecksum::crcLine(r.right, r.verdict));
        crcKnown_ = true;
    }
    if (reloadQueued_)
        QTimer::singleShot(0, this, &TfrmDupCompare::reload);
    // Next or Previous stopped the run: the move follows once it has unwound.
    if (const int step = std::exchange(pendingStep_, 0); step != 0)
        QTimer::singleShot(0, this, step > 0 ? &TfrmDupCompare::sbR1Click : &TfrmDupCompare::sbL1Click);
}

void TfrmDupCompare::btComputeClick()
{
    computeCRCValues();
    HighlightDifferences();
}

bool TfrmDupCompare::syncCurrent()
{
    const TfrmDup *f = finder_;
    if (!f || current_ < 1)
        return false;
    const ResultGridModel &m = *f->resultGrid()->gridModel();
    if (m.path(current_) == sides_[0].path && !sides_[0].path.empty())
        return true;
    const int row = DupPairs::rowOfPath(m, sides_[0].path, current_);
    if (row < 1)
        return false;
    current_ = row;
    loadPair();
    HighlightDifferences();
    return true;
}

void TfrmDupCompare::moveTo(int row)
{
    current_ = row;
    loadPair();
    HighlightDifferences();
    if (TfrmDup *f = finder_)
        f->resultGrid()->setSelectedRow(row);
}

bool TfrmDupCompare::stopRunFor(int step)
{
    if (!busy_)
        return false;
    stop_ = true;
    pendingStep_ = step;
    return true;
}

void TfrmDupCompare::keyPressEvent(QKeyEvent *e)
{
    // Escape during a checksum run stops the run; the window stays.
    if (e->key() == Qt::Key_Escape && stopRunFor(0))
        return;
    QDialog::keyPressEvent(e);
}

void TfrmDupCompare::sbR1Click()
{
    if (stopRunFor(+1) || !syncCurrent())
        return;
    const ResultGridModel &m = *finder_->resultGrid()->gridModel();
    const int criterion = finder_->criterion();
    if (current_ >= m.rowsFilled() - 1)
        return;
    const int i = DupPairs::nextDupRow(current_, m.rowsFilled(),
                                       [&](int r) { return DupPairs::pairMatches(m, criterion, r); });
    if (i > 0)
        moveTo(i);
}

void TfrmDupCompare::sbL1Click()
{
    if (stopRunFor(-1) || !syncCurrent())
        return;
    const ResultGridModel &m = *finder_->resultGrid()->gridModel();
    const int criterion = finder_->criterion();
    if (current_ < 2)
        return;
    const int i = DupPairs::prevDupRow(current_, [&](int r) { return DupPairs::pairMatches(m, criterion, r); });
    if (i > 0)
        moveTo(i);
}

void TfrmDupCompare::markSide(int s)
{
    TfrmDup *f = finder_;
    const std::string &path = sides_[size_t(s)].path;
    if (busy_ || !f || path.empty())
        return;
    // The row that holds this file now, not the row it was in.
    const int row = DupPairs::rowOfPath(*f->resultGrid()->gridModel(), path, current_ + s);
    if (row < 1) {
        dialogs().showInfo(displayName(path) + QStringLiteral(" is no longer in the list of duplicates."));
        return;
    }
    f->MarkThisFile(row);
}

void TfrmDupCompare::launchSide(int s)
{
    const std::string &path = sides_[size_t(s)].path;
    if (busy_ || path.empty())
        return;
    if (!TShell::open(FileLookup::fileUrl(path)))
        dialogs().showError(QStringLiteral("Couldn't open ") + displayName(path));
}

void TfrmDupCompare::viewSide(int s)
{
    const std::string &path = sides_[size_t(s)].path;
    if (!busy_ && !path.empty())
        Navigation::viewFile(this, path);
}

void TfrmDupCompare::btBrowse1Click()
{
    const int s = sender() == btBrowse[1] ? 1 : 0;
    const std::string &path = sides_[size_t(s)].path;
    if (!busy_ && !path.empty())
        Navigation::browseToFile(this, path, QStringLiteral("*.*"));
}

void TfrmDupCompare::changeBackgroundColor(const QColor &colour)
{
    background_ = colour;
    setBackground(this, colour);
    for (QWidget *w : findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w)) {
            w->setAutoFillBackground(true);
            setBackground(w, colour);
        } else if (auto *l = qobject_cast<QListWidget *>(w)) {
            QPalette pal = l->palette();
            pal.setColor(QPalette::Base, colour);
            l->setPalette(pal);
        }
    }
}

void TfrmDupCompare::btPrintClick()
{
    QPrinter printer;
    if (busy_ || !dialogs().choosePrinter(printer, QStringLiteral("Print")))
        return;
    changeBackgroundColor(Qt::white);
    printWidgetImage(printer, this);
    changeBackgroundColor(faceColour());
    HighlightDifferences();
}

void TfrmDupCompare::hideEvent(QHideEvent *e)
{
    if (!e->spontaneous()) {
        stop_ = true;
        pendingStep_ = 0; // a hidden window moves nowhere
    }
    QDialog::hideEvent(e);
}

void TfrmDupCompare::gridChanged(bool cleared)
{
    if (!isVisible())
        return;
    if (cleared) {
        // A new scan or a new layout: the pair shown is no longer the finder's.
        hide();
        return;
    }
    if (!reloadQueued_) {
        reloadQueued_ = true;
        QTimer::singleShot(0, this, &TfrmDupCompare::reload);
    }
}

void TfrmDupCompare::reload()
{
    if (busy_)
        return; // after the run
    reloadQueued_ = false;
    if (!isVisible())
        return;
    const TfrmDup *f = finder_;
    if (!f || f->resultGrid()->rowsFilled() < 1) {
        hide();
        return;
    }
    if (!syncCurrent())
        FormShow();
}
