#include "inspect/TViewer.h"

#include "common/EventPump.h"
#include "common/Runs.h"
#include "inspect/FileSearch.h"
#include "inspect/ViewText.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kMargin = 4;
constexpr uint64_t kHexWidth = 16;
// Scroll bars hold int values: very tall files scroll in steps of rows.
constexpr uint64_t kMaxScroll = 1u << 30;
}

TViewer::TViewer(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("Viewer1"));
    setFocusPolicy(Qt::StrongFocus);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setFixedPitch(true);
    setViewerFont(f);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

TViewer::~TViewer() = default;

bool TViewer::openFile(const std::string &path)
{
    // A count or search in progress works on the open file and its index:
    // they stay until it has ended.
    if (busy_)
        return false;
    // The file shown stays when the new one cannot be opened.
    PagedFile next;
    if (!next.open(path))
        return false;
    closeFile();
    file_ = std::move(next);
    index_ = std::make_unique<LineIndex>(file_);
    hexDigits_ = ViewText::hexDigits(file_.size());
    ensureCounted(uint64_t(visibleRows()) + 1);
    updateScrollBars();
    viewport()->update();
    emit statusChanged();
    return true;
}

void TViewer::closeFile()
{
    if (busy_)
        return;
    index_.reset();
    file_.close();
    top_ = caret_ = anchor_ = 0;
    wantColumn_ = -1;
    updateScrollBars();
    viewport()->update();
}

void TViewer::setHexMode(bool on)
{
    if (hex_ == on)
        return;
    hex_ = on;
    // Keep the caret's place in the file on screen.
    wantColumn_ = -1;
    top_ = 0;
    ensureCaretVisible(true);
    updateScrollBars();
    viewport()->update();
    emit statusChanged();
}

void TViewer::setTabExpansion(bool on)
{
    expand_ = on;
    viewport()->update();
    emit statusChanged();
}

void TViewer::setTabSize(int size)
{
    tabSize_ = std::clamp(size, 0, 255);
    viewport()->update();
    emit statusChanged();
}

void TViewer::setViewerFont(const QFont &f)
{
    setFont(f);
    viewport()->setFont(f);
    updateScrollBars();
    viewport()->update();
}

int TViewer::charWidth() const { return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M'))); }

int TViewer::visibleRows() const { return std::max(1, viewport()->height() / std::max(1, fontMetrics().lineSpacing())); }

std::optional<uint64_t> TViewer::lineCount() const
{
    if (!isOpen())
        return 0;
    if (hex_)
        return (file_.size() + kHexWidth - 1) / kHexWidth;
    if (index_->complete())
        return index_->counted();
    return std::nullopt;
}

uint64_t TViewer::rowsKnown() const
{
    if (!isOpen())
        return 0;
    if (hex_)
        return (file_.size() + kHexWidth - 1) / kHexWidth;
    return index_->counted();
}

void TViewer::ensureCounted(uint64_t rows)
{
    if (isOpen() && !hex_ && !index_->complete())
        index_->countRows(rows);
}

bool TViewer::rowExists(uint64_t r)
{
    ensureCounted(r + 1);
    return r < rowsKnown();
}

uint64_t TViewer::rowStart(uint64_t r)
{
    if (hex_)
        return r * kHexWidth;
    ensureCounted(r + 1);
    return index_->rowStart(r);
}

uint64_t TViewer::rowOf(uint64_t offset)
{
    if (!isOpen() || file_.size() == 0)
        return 0;
    if (hex_)
        return std::min(offset, file_.size() - 1) / kHexWidth;
    return index_->rowOf(offset);
}

uint64_t TViewer::lastRow()
{
    const auto n = lineCount();
    return n && *n > 0 ? *n - 1 : 0;
}

TViewer::Row TViewer::row(uint64_t r)
{
    Row out;
    out.start = rowStart(r);
    if (hex_) {
        out.end = std::min(file_.size(), out.start + kHexWidth);
        out.text = ViewText::hexRow(out.start, file_.read(out.start, size_t(out.end - out.start)), hexDigits_);
        return out;
    }
    out.end = index_->contentEnd(out.start);
    out.text = ViewText::textRow(file_.read(out.start, size_t(out.end - out.start)), expand_, tabSize_, &out.columns);
    return out;
}

int TViewer::columnOf(const Row &r, uint64_t offset) const
{
    const uint64_t in = std::clamp(offset, r.start, r.end) - r.start;
    if (hex_)
        return ViewText::hexColumn(int(in), hexDigits_);
    return r.columns.empty() ? 0 : r.columns[size_t(in)];
}

uint64_t TViewer::offsetAt(const Row &r, int column) const
{
    if (hex_) {
        const int base = ViewText::hexColumn(0, hexDigits_);
        const int asciiStart = ViewText::hexColumn(16, hexDigits_) + 1;
        int i;
        if (column >= asciiStart)
            i = column - asciiStart;
        else
            i = column < base ? 0 : (column - base - (column >= ViewText::hexColumn(8, hexDigits_) ? 1 : 0) + 1) / 3;
        return std::min(r.end, r.start + uint64_t(std::clamp(i, 0, 16)));
    }
    // The last byte whose character starts at or before column.
    const auto it = std::upper_bound(r.columns.begin(), r.columns.end(), column);
    const size_t i = it == r.columns.begin() ? 0 : size_t(it - r.columns.begin()) - 1;
    return r.start + std::min<uint64_t>(i, r.end - r.start);
}

TViewer::Position TViewer::positionOf(uint64_t offset)
{
    if (!isOpen() || file_.size() == 0)
        return {};
    const uint64_t r = rowOf(std::min(offset, file_.size()));
    const Row rw = row(r);
    return {r, columnOf(rw, offset)};
}

uint64_t TViewer::caretLine() { return positionOf(caret_).line; }
int TViewer::caretColumn() { return positionOf(caret_).column; }
TViewer::Position TViewer::selectionStart() { return positionOf(selectionStartOffset()); }
TViewer::Position TViewer::selectionEnd() { return positionOf(selectionEndOffset()); }

void TViewer::select(uint64_t anchor, uint64_t caret)
{
    anchor_ = std::min(anchor, file_.size());
    caret_ = std::min(caret, file_.size());
    wantColumn_ = -1;
    viewport()->update();
    emit statusChanged();
}

void TViewer::selectAll()
{
    if (!isOpen())
        return;
    select(0, file_.size());
}

bool TViewer::copy()
{
    if (!hasSelection())
        return false;
    const uint64_t a = selectionStartOffset();
    const uint64_t b = std::min(selectionEndOffset(), a + kMaxCopy);
    QString text;
    if (hex_) {
        QStringList lines;
        for (uint64_t r = a / kHexWidth; r * kHexWidth < b; ++r)
            lines << row(r).text;
        text = lines.join(QLatin1Char('\n'));
    } else {
        const std::string bytes = file_.read(a, size_t(b - a));
        text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    QApplication::clipboard()->setText(text);
    return true;
}

bool TViewer::runLong(const QString &what, const std::function<bool(const std::function<bool()> &)> &body)
{
    if (busy_)
        return false;
    const Runs::Token token(what, [this] { abort_ = true; });
    busy_ = true;
    abort_ = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    EventPump pump;
    const bool ok = body([&] {
        pump.pump();
        return !abort_;
    });
    QApplication::restoreOverrideCursor();
    busy_ = false;
    return ok && !abort_;
}

bool TViewer::countLines()
{
    if (!isOpen())
        return true;
    if (hex_ || index_->complete())
        return true;
    const bool ok = runLong(QStringLiteral("a line count"),
                            [&](const std::function<bool()> &keepGoing) { return index_->countAll(keepGoing); });
    updateScrollBars();
    emit statusChanged();
    return ok;
}

void TViewer::goToLine(uint64_t line)
{
    if (!isOpen() || file_.size() == 0)
        return;
    if (!rowExists(line))
        line = rowsKnown() == 0 ? 0 : rowsKnown() - 1;
    moveCaretToRow(line, false);
    ensureCaretVisible(true);
}

bool TViewer::find(const QString &text, bool backward, bool matchCase, bool global)
{
    if (!isOpen() || text.isEmpty())
        return false;
    const QByteArray needle = text.toUtf8();
    uint64_t from;
    if (global)
        from = backward ? file_.size() : 0;
    else
        from = backward ? selectionStartOffset() : caret_;
    FileSearch::Result r;
    runLong(QStringLiteral("a search"), [&](const std::function<bool()> &keepGoing) {
        r = FileSearch::find(file_, needle.toStdString(), from, !backward, matchCase, keepGoing);
        return !r.stopped;
    });
    if (!r.offset)
        return false;
    anchor_ = *r.offset;
    caret_ = *r.offset + uint64_t(needle.size());
    wantColumn_ = -1;
    // Placing the match counts the lines up to it.
    runLong(QStringLiteral("a line count"), [&](const std::function<bool()> &keepGoing) {
        return hex_ || index_->countTo(anchor_, keepGoing);
    });
    ensureCaretVisible(true);
    viewport()->update();
    emit statusChanged();
    return true;
}

QString TViewer::lineText(uint64_t line)
{
    if (!isOpen() || !rowExists(line))
        return {};
    return row(line).text.left(ViewText::kMaxLineText);
}

void TViewer::updateScrollBars()
{
    settingScroll_ = true;
    const uint64_t rows = rowsKnown() + ((isOpen() && !hex_ && !index_->complete()) ? uint64_t(visibleRows()) : 0);
    const uint64_t maxTop = rows > uint64_t(visibleRows()) ? rows - uint64_t(visibleRows()) : 0;
    scale_ = maxTop / kMaxScroll + 1;
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, int(maxTop / scale_));
    v->setPageStep(std::max(1, int(uint64_t(visibleRows()) / scale_)));
    v->setSingleStep(1);
    v->setValue(int(top_ / scale_));
    QScrollBar *h = horizontalScrollBar();
    const int visibleColumns = std::max(1, (viewport()->width() - 2 * kMargin) / charWidth());
    const int widest = hex_ ? ViewText::hexColumn(16, hexDigits_) + 18 : 1024;
    h->setRange(0, std::max(0, widest - visibleColumns));
    h->setPageStep(visibleColumns);
    settingScroll_ = false;
}

void TViewer::setTop(uint64_t r)
{
    ensureCounted(r + uint64_t(visibleRows()) + 1);
    const uint64_t rows = rowsKnown();
    const uint64_t maxTop = rows > uint64_t(visibleRows()) ? rows - uint64_t(visibleRows()) : 0;
    top_ = std::min(r, maxTop);
    updateScrollBars();
    viewport()->update();
    emit statusChanged();
}

void TViewer::scrollContentsBy(int, int)
{
    if (settingScroll_)
        return;
    const uint64_t v = uint64_t(verticalScrollBar()->value());
    if (v != top_ / scale_)
        setTop(v * scale_);
    viewport()->update();
}

void TViewer::ensureCaretVisible(bool centre)
{
    if (!isOpen())
        return;
    const uint64_t r = rowOf(caret_);
    const uint64_t rows = uint64_t(visibleRows());
    if (r < top_ || r >= top_ + rows)
        setTop(centre && r > rows / 2 ? r - rows / 2 : (r < top_ ? r : r - rows + 1));
    // Horizontally: bring the caret's column into view.
    const Row rw = row(r);
    const int col = columnOf(rw, caret_);
    QScrollBar *h = horizontalScrollBar();
    const int visibleColumns = std::max(1, (viewport()->width() - 2 * kMargin) / charWidth());
    if (col < h->value() || col >= h->value() + visibleColumns)
        h->setValue(std::max(0, col - visibleColumns / 2));
}

void TViewer::moveCaret(uint64_t offset, bool extend)
{
    caret_ = std::min(offset, file_.size());
    if (!extend)
        anchor_ = caret_;
    viewport()->update();
    emit statusChanged();
}

void TViewer::moveCaretToRow(uint64_t r, bool extend)
{
    const Row rw = row(r);
    const uint64_t off = wantColumn_ < 0 ? rw.start : offsetAt(rw, wantColumn_);
    moveCaret(off, extend);
}

uint64_t TViewer::pointToOffset(const QPoint &p)
{
    const int lh = std::max(1, fontMetrics().lineSpacing());
    const uint64_t r = top_ + uint64_t(std::max(0, p.y()) / lh);
    if (!rowExists(r))
        return file_.size();
    const Row rw = row(r);
    const int col = (p.x() - kMargin + charWidth() / 2) / charWidth() + horizontalScrollBar()->value();
    return offsetAt(rw, std::max(0, col));
}

void TViewer::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    if (!isOpen())
        return;
    const QFontMetricsF fm(font());
    const qreal lh = std::max<qreal>(1, fontMetrics().lineSpacing());
    const qreal left = kMargin - horizontalScrollBar()->value() * fm.horizontalAdvance(QLatin1Char('M'));
    const uint64_t selA = selectionStartOffset(), selB = selectionEndOffset();
    const QPalette &pal = palette();
    const int rows = visibleRows() + 1;
    const uint64_t caretRow = rowOf(caret_);
    for (int i = 0; i < rows; ++i) {
        const uint64_t r = top_ + uint64_t(i);
        if (!rowExists(r))
            break;
        const Row rw = row(r);
        const qreal y = i * lh;
        // x of a column: the width of the text before it, so characters
        // drawn from a fallback font stay in step.
        const auto xOf = [&](int col) { return left + fm.horizontalAdvance(rw.text.left(col)); };
        const auto span = [&](int from, int to) { return QRectF(xOf(from), y, xOf(to) - xOf(from), lh); };
        std::vector<QRectF> selected;
        if (selA < selB && selA <= rw.end && selB > rw.start) {
            const uint64_t a = std::max(selA, rw.start), b = std::min(selB, rw.end);
            if (hex_) {
                if (b > a) {
                    selected.push_back(span(columnOf(rw, a), columnOf(rw, b - 1) + 2));
                    const int ascii = ViewText::hexColumn(16, hexDigits_) + 1;
                    selected.push_back(span(ascii + int(a - rw.start), ascii + int(b - rw.start)));
                }
            } else {
                QRectF box = span(columnOf(rw, a), columnOf(rw, b));
                if (selB > rw.end)
                    box.setRight(box.right() + fm.horizontalAdvance(QLatin1Char(' '))); // the line end too
                selected.push_back(box);
            }
        }
        for (const QRectF &box : selected)
            p.fillRect(box, pal.highlight());
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QPointF(left, y + fm.ascent()), rw.text);
        for (const QRectF &box : selected) {
            // The selected characters again, in the highlight's text colour.
            p.save();
            p.setPen(pal.color(QPalette::HighlightedText));
            p.setClipRect(box);
            p.drawText(QPointF(left, y + fm.ascent()), rw.text);
            p.restore();
        }
        if (focused_ && caretRow == r)
            p.fillRect(QRectF(xOf(columnOf(rw, caret_)), y, 2, lh), pal.color(QPalette::Text));
    }
}

void TViewer::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    ensureCounted(top_ + uint64_t(visibleRows()) + 1);
    updateScrollBars();
}

void TViewer::focusInEvent(QFocusEvent *e)
{
    focused_ = true;
    viewport()->update();
    QAbstractScrollArea::focusInEvent(e);
}

void TViewer::focusOutEvent(QFocusEvent *e)
{
    focused_ = false;
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(e);
}

void TViewer::keyPressEvent(QKeyEvent *e)
{
    if (!isOpen() || busy_) {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    const bool extend = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const uint64_t r = rowOf(caret_);
    const uint64_t page = uint64_t(std::max(1, visibleRows() - 1));
    const auto keepColumn = [&] {
        if (wantColumn_ < 0)
            wantColumn_ = columnOf(row(r), caret_);
    };
    switch (e->key()) {
    case Qt::Key_Up:
        if (r > 0) {
            keepColumn();
            moveCaretToRow(r - 1, extend);
        }
        break;
    case Qt::Key_Down:
        if (rowExists(r + 1)) {
            keepColumn();
            moveCaretToRow(r + 1, extend);
        }
        break;
    case Qt::Key_PageUp:
        keepColumn();
        setTop(top_ > page ? top_ - page : 0);
        moveCaretToRow(r > page ? r - page : 0, extend);
        break;
    case Qt::Key_PageDown: {
        keepColumn();
        ensureCounted(r + page + 1);
        const uint64_t to = std::min(r + page, rowsKnown() - 1);
        setTop(top_ + page);
        moveCaretToRow(to, extend);
        break;
    }
    case Qt::Key_Home:
        wantColumn_ = -1;
        if (ctrl)
            moveCaret(0, extend);
        else
            moveCaret(row(r).start, extend);
        break;
    case Qt::Key_End:
        wantColumn_ = -1;
        if (ctrl) {
            countLines();
            moveCaret(row(lastRow()).end, extend);
        } else {
            moveCaret(row(r).end, extend);
        }
        break;
    case Qt::Key_Left: {
        wantColumn_ = -1;
        const Row rw = row(r);
        if (caret_ > rw.start) {
            // Back to the previous character's first byte.
            uint64_t o = caret_ - 1;
            if (!hex_)
                while (o > rw.start && rw.columns[size_t(o - rw.start)] == rw.columns[size_t(o - 1 - rw.start)])
                    --o;
            moveCaret(o, extend);
        } else if (r > 0) {
            moveCaret(row(r - 1).end, extend);
        }
        break;
    }
    case Qt::Key_Right: {
        wantColumn_ = -1;
        const Row rw = row(r);
        if (caret_ < rw.end) {
            uint64_t o = caret_ + 1;
            if (!hex_)
                while (o < rw.end && rw.columns[size_t(o - rw.start)] == rw.columns[size_t(caret_ - rw.start)])
                    ++o;
            moveCaret(o, extend);
        } else if (rowExists(r + 1)) {
            moveCaret(rowStart(r + 1), extend);
        }
        break;
    }
    default:
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    ensureCaretVisible(false);
}

void TViewer::mousePressEvent(QMouseEvent *e)
{
    if (!isOpen() || busy_ || e->button() != Qt::LeftButton)
        return;
    wantColumn_ = -1;
    moveCaret(pointToOffset(e->position().toPoint()), e->modifiers() & Qt::ShiftModifier);
}

void TViewer::mouseMoveEvent(QMouseEvent *e)
{
    if (!isOpen() || busy_ || !(e->buttons() & Qt::LeftButton))
        return;
    moveCaret(pointToOffset(e->position().toPoint()), true);
    ensureCaretVisible(false);
}
