#include "scan/TResultGrid.h"

#include "common/Dialogs.h"
#include "common/PathsMime.h"
#include "common/DosTime.h"
#include "common/Navigation.h"
#include "common/TShell.h"
#include "common/Text.h"
#include "platform/FileLookup.h"
#include "scan/TFontScale.h"
#include "scan/TPrintGrid.h"
#include "scan/TResultGridDelegate.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QScreen>

namespace {
// The hourglass for the length of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
}

TResultGrid::TResultGrid(const GridLayout &layout, QWidget *parent)
    : QTableView(parent), model_(new ResultGridModel(layout, this))
{
    setObjectName(QStringLiteral("grid"));
    setModel(model_);
    setItemDelegate(new TResultGridDelegate(model_, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setSortingEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->viewport()->installEventFilter(this);
    viewport()->installEventFilter(this);
    setContextMenuPolicy(Qt::CustomContextMenu);
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("PopupMenu1"));
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { menu_->popup(viewport()->mapToGlobal(p)); });
    connect(model_, &ResultGridModel::checkedSortChanged, this, &TResultGrid::updateSortChecks);
    connect(menu_, &QMenu::aboutToShow, this, &TResultGrid::updateFileEntries);
    configure(layout);
}

void TResultGrid::configure(const GridLayout &layout)
{
    model_->setLayout(layout);
    setToolTip(layout.hint);
    buildMenu();
    ClearGrid();
}

QAction *TResultGrid::action(const QString &objectName) const
{
    return menu_->findChild<QAction *>(objectName);
}

void TResultGrid::buildMenu()
{
    // Actions are children of the menu so action() finds them by name.
    for (QAction *a : menu_->findChildren<QAction *>())
        delete a;
    for (QMenu *m : menu_->findChildren<QMenu *>())
        delete m;
    menu_->clear();
    sortActions_.clear();
    const GridLayout &l = model_->layout();
    const auto add = [this](QMenu *into, const QString &text, const char *name, auto slot) {
        auto *a = new QAction(text, menu_);
        a->setObjectName(QString::fromLatin1(name));
        into->addAction(a);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    const auto submenu = [this](const QString &title, const char *name) {
        QMenu *m = new QMenu(title, menu_);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
        menu_->addMenu(m);
        return m;
    };

    if (l.fileEntries)
        add(menu_, QStringLiteral("Details"), "Details1", &TResultGrid::Details1Click);
    if (!l.sortEntries.empty()) {
        QMenu *into = menu_;
        if (l.sortSubmenu) {
            into = submenu(QStringLiteral("Sort"), "Sort1");
            into->menuAction()->setVisible(l.sortingEnabled);
        }
        for (size_t i = 0; i < l.sortEntries.size(); ++i) {
            auto *a = new QAction(l.sortEntries[i].caption, menu_);
            a->setObjectName(QStringLiteral("Sortby%1").arg(i + 1));
            a->setCheckable(true);
            a->setVisible(l.sortSubmenu || l.sortingEnabled);
            into->addAction(a);
            connect(a, &QAction::triggered, this, [this, i]() { Sortbysize1Click(int(i)); });
            sortActions_.push_back(a);
        }
        if (!l.sortSubmenu)
            menu_->addSeparator();
    }
    if (l.markEntries && l.markColumn >= 0) {
        QMenu *m = submenu(QStringLiteral("Mark"), "Mark1");
        add(m, l.markAllCaption, "Markall1", &TResultGrid::Markall1Click);
        add(m, l.unmarkAllCaption, "Unmarkall1", &TResultGrid::Unmarkall1Click);
    }
    QMenu *resize = l.resizeSubmenu ? submenu(QStringLiteral("Resize"), "Resize1") : menu_;
    shrink_ = add(resize, QStringLiteral("Shrink top panel"), "Shrink1", &TResultGrid::Shrink1Click);
    grow_ = add(resize, QStringLiteral("Restore top panel"), "Grow1", &TResultGrid::Grow1Click);
    grow_->setEnabled(false);
    menu_->addSeparator();
    if (l.fileEntries) {
        add(menu_, l.openCaption, "Run1", &TResultGrid::Run1Click);
        add(menu_, QStringLiteral("View"), "View1", &TResultGrid::View1Click);
        menu_->addSeparator();
    }
    add(menu_, QStringLiteral("Print"), "Print1", &TResultGrid::btPrintClick);
    add(menu_, QStringLiteral("Clipboard"), "Clipboard1", &TResultGrid::btClipClick);
    updateSortChecks(model_->checkedSortEntry());
    updateFileEntries();
}

bool TResultGrid::canView() const { return viewHook || Navigation::isAvailable(Navigation::Target::ViewFile); }

bool TResultGrid::canShowDetails() const
{
    return detailsHook || Navigation::isAvailable(Navigation::Target::FileDetails);
}

void TResultGrid::updateFileEntries()
{
    if (QAction *a = action(QStringLiteral("View1")))
        a->setEnabled(canView());
    if (QAction *a = action(QStringLiteral("Details1")))
        a->setEnabled(canShowDetails());
}

void TResultGrid::updateSortChecks(int entry)
{
    for (size_t i = 0; i < sortActions_.size(); ++i)
        sortActions_[i]->setChecked(int(i) == entry);
}

void TResultGrid::ClearGrid()
{
    lastClickRow_ = kNoClick;
    model_->ClearGrid();
    setSelectedRow(1);
    setFocus();
}

void TResultGrid::trimRows()
{
    model_->trimRows();
    if (selectedRow() > model_->gridRowCount() - 1)
        setSelectedRow(model_->gridRowCount() - 1);
    measureNameAndType();
    fitNumberColumn();
}

double TResultGrid::columnScale() const
{
    return TFontScale::factor(this);
}

namespace {
// The room of the widest text a date or time column can show: two-digit
// months, days and hours, either half of the day.
int stampRoom(const QFontMetrics &fm, CellKind kind, int inset)
{
    const bool date = kind == CellKind::Modified || kind == CellKind::Accessed || kind == CellKind::Created;
    if (!date && kind != CellKind::ModifiedTime)
        return 0;
    int room = 0;
    for (const QTime t : {QTime(10, 58, 58), QTime(22, 58, 58)}) {
        const DosDateTime stamp = DosTime::pack(QDateTime(QDate(2028, 12, 28), t));
        room = std::max(room, TResultGridDelegate::textRoom(fm, date ? dosDateText(stamp) : dosTimeText(stamp), inset));
    }
    return room;
}
}

void TResultGrid::fitNumberColumn()
{
    // The longest number is the widest: digits share one width, and a
    // separator comes only with more digits.
    const int column = model_->layout().sizeColumn;
    numberWidth_ = 0;
    if (column < 0)
        return;
    const QString widest = model_->longestCell(column);
    if (!widest.isEmpty())
        numberWidth_ = TResultGridDelegate::textRoom(fontMetrics(), widest, model_->layout().textInset);
    if (clientWidth_ > 0)
        FormResize(clientWidth_);
}

void TResultGrid::measureNameAndType()
{
    // The room the longest name (or path) and the longest type need.
    const GridLayout &l = model_->layout();
    nameColumn_ = typeColumn_ = -1;
    nameRoom_ = typeRoom_ = 0;
    for (size_t c = 0; c < l.columns.size(); ++c) {
        const CellKind kind = l.columns[c].show;
        if (kind == CellKind::Type && typeColumn_ < 0)
            typeColumn_ = int(c);
        else if ((kind == CellKind::Path || kind == CellKind::Name) && nameColumn_ < 0)
            nameColumn_ = int(c);
    }
    if (nameColumn_ < 0 || typeColumn_ < 0)
        return;
    const QFontMetrics fm = fontMetrics();
    const auto room = [&](int column) {
        const QString widest = model_->longestCell(column);
        return widest.isEmpty() ? 0 : TResultGridDelegate::textRoom(fm, widest, l.textInset);
    };
    nameRoom_ = room(nameColumn_) + (l.markColumn == nameColumn_ ? kMarkRoom : 0);
    typeRoom_ = room(typeColumn_);
}

int TResultGrid::selectedRow() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void TResultGrid::setSelectedRow(int row)
{
    model_->sync();
    if (row < 1 || row > model_->rowCount())
        return;
    const int column = std::max(0, currentIndex().column());
    setCurrentIndex(model_->index(row - 1, column));
}

std::string TResultGrid::selectedPath() const
{
    return model_->path(selectedRow());
}

void TResultGrid::MarkThisFile(int row)
{
    if (row <= 0)
        return;
    model_->deleteOneFile(row);
    emit cleanEnabled(model_->markedCount() > 0);
}

void TResultGrid::DeleteAllFiles()
{
    const int row = selectedRow();
    if (row <= 0)
        return;
    model_->deleteOneFile(row);
    if (row < model_->gridRowCount() - 1)
        setSelectedRow(row + 1);
    emit cleanEnabled(model_->markedCount() > 0);
}

void TResultGrid::gridDblClick()
{
    const int row = selectedRow();
    if (row <= 0)
        return;
    model_->deleteOneFile(row);
    emit cleanEnabled(model_->markedCount() > 0);
}

void TResultGrid::Markall1Click()
{
    {
        WaitCursor wait;
        model_->markAll();
    }
    emit cleanEnabled(true);
}

void TResultGrid::Unmarkall1Click()
{
    model_->unmarkAll();
    emit cleanEnabled(false);
}

void TResultGrid::Sortbysize1Click(int entry)
{
    WaitCursor wait;
    model_->sortBy(entry);
}

std::string TResultGrid::existingSelectedPath() const
{
    const std::string p = selectedPath();
    return FileLookup::fileSize(p) ? p : std::string();
}

void TResultGrid::Run1Click()
{
    const std::string p = existingSelectedPath();
    if (p.empty())
        return;
    if (!TShell::open(FileLookup::fileUrl(p)))
        dialogs().showError(QStringLiteral("Couldn't open ") + displayName(p));
}

void TResultGrid::View1Click()
{
    const std::string p = existingSelectedPath();
    if (p.empty())
        return;
    if (viewHook)
        viewHook(p);
    else
        Navigation::viewFile(window(), p);
}

void TResultGrid::Details1Click()
{
    const std::string p = existingSelectedPath();
    if (p.empty())
        return;
    if (detailsHook)
        detailsHook(p);
    else
        Navigation::showDetails(window(), p);
}

void TResultGrid::btClipClick()
{
    if (clipboardText)
        QGuiApplication::clipboard()->setText(clipboardText());
    else
        QGuiApplication::clipboard()->setMimeData(PathsMime::mimeData(model_->paths(), true));
}

void TResultGrid::btPrintClick()
{
    const QString title = printTitle ? printTitle() : QString();
    QPrinter printer;
    if (!dialogs().choosePrinter(printer))
        return;
    printGrid(printer, this, title);
}

void TResultGrid::setTopPanel(QWidget *panel)
{
    topPanel_ = panel;
    rememberPanelHeight();
}

void TResultGrid::rememberPanelHeight()
{
    if (topPanel_)
        panelHeight_ = topPanel_->height();
}

void TResultGrid::Shrink1Click()
{
    if (topPanel_)
        topPanel_->setFixedHeight(0);
    shrink_->setEnabled(false);
    grow_->setEnabled(true);
}

void TResultGrid::Grow1Click()
{
    if (topPanel_)
        topPanel_->setFixedHeight(panelHeight_);
    shrink_->setEnabled(true);
    grow_->setEnabled(false);
}

void TResultGrid::FormResize(int clientWidth)
{
    clientWidth_ = clientWidth;
    const GridLayout &l = model_->layout();
    if (l.columns.empty())
        return;
    std::vector<int> atLeast(l.columns.size(), 0);
    if (l.sizeColumn >= 0 && size_t(l.sizeColumn) < atLeast.size())
        atLeast[size_t(l.sizeColumn)] = numberWidth_;
    // Dates and times are numbers too: never cut, whatever the font.
    const QFontMetrics fm = fontMetrics();
    for (size_t c = 0; c < l.columns.size(); ++c)
        atLeast[c] = std::max(atLeast[c], stampRoom(fm, l.columns[c].show, l.textInset));
    std::vector<int> widths = l.columnWidths(columnScale(), clientWidth, atLeast);
    // A type cut short while the name column beside it has room to spare
    // takes that room (up to what it needs).
    if (nameColumn_ >= 0 && typeColumn_ >= 0 && size_t(std::max(nameColumn_, typeColumn_)) < widths.size()) {
        const int shortBy = typeRoom_ - widths[size_t(typeColumn_)];
        const int spare = widths[size_t(nameColumn_)] - nameRoom_;
        if (shortBy > 0 && spare > 0) {
            const int moved = std::min(shortBy, spare);
            widths[size_t(typeColumn_)] += moved;
            widths[size_t(nameColumn_)] -= moved;
        }
    }
    for (size_t c = 0; c < widths.size(); ++c)
        horizontalHeader()->resizeSection(int(c), widths[c]);
}

QSize TResultGrid::minimumWindowSize(const QWidget *topPanel)
{
    // The panel is laid out in the screen's pixels already: not scaled again.
    int width = topPanel->x() + topPanel->width() + 3;
    if (const QScreen *s = topPanel->screen())
        width = std::min(width, s->geometry().width() - 10);
    const int height = 2 * (topPanel->y() + topPanel->height());
    return QSize(width, height);
}

void TResultGrid::keyPressEvent(QKeyEvent *e)
{
    // A row chosen with the keys counts as chosen, whatever was clicked before.
    const int before = selectedRow();
    QTableView::keyPressEvent(e);
    if (selectedRow() != before)
        lastClickRow_ = kNoClick;
}

void TResultGrid::keyReleaseEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Delete && !e->isAutoRepeat()) {
        DeleteAllFiles();
        e->accept();
        return;
    }
    QTableView::keyReleaseEvent(e);
}

void TResultGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    QTableView::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton)
        gridDblClick();
}

bool TResultGrid::eventFilter(QObject *watched, QEvent *e)
{
    const bool header = watched == horizontalHeader()->viewport();
    if ((header || watched == viewport())
        && (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease)) {
        auto *m = static_cast<QMouseEvent *>(e);
        if (m->button() == Qt::LeftButton || m->button() == Qt::RightButton) {
            const QPoint p = m->position().toPoint();
            if (e->type() == QEvent::MouseButtonPress) {
                pressAt_ = p;
                pressedOn_ = watched;
            } else if (pressedOn_ == watched) {
                pressedOn_ = nullptr;
                if (p == pressAt_) {
                    if (header) {
                        lastClickRow_ = 0;
                        const int entry = model_->sortEntryForColumn(horizontalHeader()->logicalIndexAt(p));
                        if (entry >= 0)
                            Sortbysize1Click(entry);
                    } else {
                        const QModelIndex i = indexAt(p);
                        lastClickRow_ = i.isValid() ? i.row() + 1 : -1;
                    }
                }
            }
        }
    }
    return QTableView::eventFilter(watched, e);
}
