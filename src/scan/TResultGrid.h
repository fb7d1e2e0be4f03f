#pragma once
#include "scan/GridLayout.h"
#include "scan/ResultGridModel.h"

#include <QPoint>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QMenu;

// The result grid every finder shows its files in (objectName "grid"): a
// view over ResultGridModel, configured by a GridLayout. It owns the context
// menu PopupMenu1 and implements marking, sorting, opening, printing, the
// clipboard, the top-panel shrink and the column widths. The finder keeps
// its buttons; "Clean?" follows the cleanEnabled signal.
class TResultGrid : public QTableView {
    Q_OBJECT
public:
    using FileHook = std::function<void(const std::string &path)>;

    explicit TResultGrid(const GridLayout &layout = {}, QWidget *parent = nullptr);

    ResultGridModel *gridModel() const { return model_; }
    // A new layout (a window's mode): columns, menu and the grid cleared.
    void configure(const GridLayout &layout);

    void ClearGrid();
    void addToGrid(const QString &line, std::string_view path) { model_->addToGrid(line, path); }
    // After the last addToGrid (rowsFilled + 1 rows when more than one).
    void trimRows();
    int rowsFilled() const { return model_->rowsFilled(); }
    int64_t markedCount() const { return model_->markedCount(); }
    int64_t markedSize() const { return model_->markedSize(); }
    const std::vector<std::string> &lbDeleted() const { return model_->lbDeleted(); }

    // The selected grid row (1 is the first file row); 0 when none.
    int selectedRow() const;
    void setSelectedRow(int row);
    // The selected row's path as found.
    std::string selectedPath() const;
    // Grid row of the last press and release at one point (0: the header,
    // -1: outside the rows, kNoClick: none since the grid was cleared, or a
    // key moved the current row since).
    static constexpr int kNoClick = -2;
    int lastClickRow() const { return lastClickRow_; }

    void deleteOneFile(int row) { model_->deleteOneFile(row); }
    // Toggles row (above 0) and sets "Clean?" from the count.
    void MarkThisFile(int row);
    // "&Mark" and the Delete key: toggles the selected row and moves one down
    // unless on the last row.
    void DeleteAllFiles();
    void gridDblClick();
    void Markall1Click();
    void Unmarkall1Click();
    void clearAllMarks() { model_->clearAllMarks(); }
    // Sort entry i of the layout, with the hourglass and the menu checks.
    void Sortbysize1Click(int entry);

    // "Open" ("Run", through TShell), "View", "Details": on the selected
    // row's file when it exists. View and Details go to the grid's own hook
    // when set, else to the registered Navigation target.
    void Run1Click();
    void View1Click();
    void Details1Click();
    void btClipClick();
    // Builds the title (printTitle), shows the print dialog, prints.
    void btPrintClick();

    // The top panel that "Shrink top panel" hides; remembers its height.
    void setTopPanel(QWidget *panel);
    void rememberPanelHeight();
    void Shrink1Click();
    void Grow1Click();
    // Column widths for the window's client width (layout widths scaled
    // once by columnScale(); the size column at least as wide as its widest
    // number; the last column takes the rest).
    void FormResize(int clientWidth);
    // The factor for the grid's font and screen (GridLayout::widthScale).
    double columnScale() const;
    // The smallest client size of a window with this top panel: the panel's
    // right edge plus 3 (at most the screen width less 10), twice its bottom.
    static QSize minimumWindowSize(const QWidget *topPanel);

    QMenu *PopupMenu1() const { return menu_; }
    QAction *action(const QString &objectName) const;

    // A grid's own window for "View" and "Details" in place of the
    // registered Navigation targets (ViewFile, FileDetails).
    FileHook viewHook, detailsHook;
    // Whether "View" and "Details" have somewhere to go; the menu entries
    // follow these each time the menu opens, a finder's "&Details" button
    // follows canShowDetails().
    bool canView() const;
    bool canShowDetails() const;
    void updateFileEntries();
    // The report title, built when printing.
    std::function<QString()> printTitle;
    // The clipboard's text when a window keeps lines of its own (folder
    // hogs); else the rows' paths.
    std::function<QString()> clipboardText;

signals:
    void cleanEnabled(bool enabled);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void buildMenu();
    void updateSortChecks(int entry);
    std::string existingSelectedPath() const;
    // Measures the size column's widest number (after a fill) and widens
    // the column to it.
    void fitNumberColumn();
    // Measures the longest name and type (after a fill), so that FormResize
    // can give the type column room the name column does not need.
    void measureNameAndType();

    ResultGridModel *model_;
    QMenu *menu_ = nullptr;
    std::vector<QAction *> sortActions_;
    QAction *shrink_ = nullptr;
    QAction *grow_ = nullptr;
    int numberWidth_ = 0;
    int nameColumn_ = -1, typeColumn_ = -1; // the file-name (or path) and type columns
    int nameRoom_ = 0, typeRoom_ = 0;
    static constexpr int kMarkRoom = 20; // the mark glyph in front of a name
    int clientWidth_ = 0;
    QWidget *topPanel_ = nullptr;
    int panelHeight_ = 0;
    QPoint pressAt_;
    QObject *pressedOn_ = nullptr;
    int lastClickRow_ = kNoClick;
};
