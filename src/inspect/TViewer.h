#pragma once
#include "inspect/LineIndex.h"
#include "inspect/PagedFile.h"

#include <QAbstractScrollArea>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The file viewer component: a read-only scroll view over a file read in
// pages, shown as text rows or as a hexadecimal dump. It never loads a file
// whole and opens only regular files. Rows ("lines") are counted on demand;
// until the whole file is counted the line count is unknown.
//
// Positions are byte offsets into the file: the caret, and the selection
// from the anchor to the caret.
class TViewer : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TViewer(QWidget *parent = nullptr);
    ~TViewer() override;

    // Opens path; false when it is not a regular file or cannot be read (the
    // file shown before stays), or while a count or search runs.
    bool openFile(const std::string &path);
    // Closes the file shown; nothing while a count or search runs.
    void closeFile();
    bool isOpen() const { return file_.isOpen(); }
    const std::string &path() const { return file_.path(); }

    void setHexMode(bool on);
    bool hexMode() const { return hex_; }
    void setTabExpansion(bool on);
    bool tabExpansion() const { return expand_; }
    // 0 shows tabs unexpanded.
    void setTabSize(int size);
    int tabSize() const { return tabSize_; }
    void setViewerFont(const QFont &f);

    // Lines of the current display; nothing while not all are counted.
    std::optional<uint64_t> lineCount() const;
    // Counts all lines, showing the hourglass and keeping the window alive;
    // false when the count was stopped (abortRun) before the end.
    bool countLines();
    bool hasLines() const { return file_.size() > 0; }
    uint64_t fileSize() const { return file_.size(); }
    uint64_t caretLine();
    int caretColumn();
    uint64_t topLine() const { return top_; }
    bool hasSelection() const { return anchor_ != caret_; }
    struct Position {
        uint64_t line = 0;
        int column = 0;
    };
    Position selectionStart();
    Position selectionEnd();
    uint64_t caretOffset() const { return caret_; }
    uint64_t selectionStartOffset() const { return std::min(anchor_, caret_); }
    uint64_t selectionEndOffset() const { return std::max(anchor_, caret_); }

    void selectAll();
    // Copies the selection as text (the dump's lines in hex mode); true when
    // something was copied. Very large selections are cut at kMaxCopy bytes.
    static constexpr uint64_t kMaxCopy = 64ull * 1024 * 1024;
    bool copy();
    // Moves the caret to the start of line (0-based; past the end: the last line).
    void goToLine(uint64_t line);
    // Searches for text; selects the match. Forward from the caret or
    // backward from the selection's start, or over the whole file when
    // global. False when not found (or stopped).
    bool find(const QString &text, bool backward, bool matchCase, bool global);
    // The text of a line as shown, at most 1024 characters.
    QString lineText(uint64_t line);
    // Sets the selection (tests and the window's own use).
    void select(uint64_t anchor, uint64_t caret);

    // True while a count or search runs (events are pumped during it).
    bool busy() const { return busy_; }
    // Asks a running count or search to stop at its next piece.
    void abortRun() { abort_ = true; }

signals:
    // The caret, the selection or the view moved.
    void statusChanged();

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    struct Row {
        uint64_t start = 0, end = 0; // bytes shown: [start, end)
        QString text;
        std::vector<int> columns;    // text mode: column of each byte (and end)
    };
    // Rows known to exist (all of them in hex mode or once counted).
    uint64_t rowsKnown() const;
    bool rowExists(uint64_t row);
    uint64_t rowStart(uint64_t row);
    uint64_t rowOf(uint64_t offset);
    Row row(uint64_t r);
    int columnOf(const Row &r, uint64_t offset) const;
    uint64_t offsetAt(const Row &r, int column) const;
    Position positionOf(uint64_t offset);
    int visibleRows() const;
    int charWidth() const;
    void updateScrollBars();
    void ensureCounted(uint64_t rows);
    void moveCaret(uint64_t offset, bool extend);
    void moveCaretToRow(uint64_t row, bool extend);
    void ensureCaretVisible(bool centre);
    uint64_t lastRow();
    void setTop(uint64_t row);
    uint64_t pointToOffset(const QPoint &p);
    bool runLong(const QString &what, const std::function<bool(const std::function<bool()> &)> &body);

    PagedFile file_;
    std::unique_ptr<LineIndex> index_;
    bool hex_ = false;
    bool expand_ = true;
    int tabSize_ = 8;
    int hexDigits_ = 8;
    uint64_t top_ = 0;
    uint64_t caret_ = 0, anchor_ = 0;
    int wantColumn_ = -1;
    bool busy_ = false;
    bool abort_ = false;
    bool focused_ = false;
    bool settingScroll_ = false;
    uint64_t scale_ = 1; // rows per scroll bar step
};
