#pragma once
#include "finders/LintFinder.h"
#include "finders/TempMatcher.h"
#include "safety/Deletion.h"
#include "scan/GridLayout.h"
#include "scan/TFinderFrame.h"

#include <QStringList>

class QCheckBox;
class QListWidget;
class QMenu;

// Quick clean: finds the files on the checked drives whose extension is that
// of a selected temporary-file pattern, and, in the same walk, the empty
// folders, empty files and broken links of the kinds ticked; lists them at
// once as the walk finds them, and hands the marked ones to the deletion
// window.
class TfrmClean : public TFinderFrame {
    Q_OBJECT
public:
    explicit TfrmClean(QWidget *parent = nullptr);

    // The grid layout of this window: the six-field file line, sort
    // directions of its own, "Run" for "Open".
    static GridLayout gridLayout();

    void ReadInFromDisk();
    void selectAllExtensions();
    // The extension of name equals that of a selected pattern row.
    bool isThisFileTemporary(const std::string &name) const;

    void btEditClick();
    void SelectAll2Click();
    void DeselectAll2Click();
    // The report title: "Temporary files on drive(s) " and each checked
    // drive's letter followed by a blank.
    QString printTitle() const;

    QLabel *Label1;
    QListWidget *PickList1;
    QMenu *PickMenu;
    QPushButton *btEdit;
    QCheckBox *cbEmptyFolders, *cbEmptyFiles, *cbBrokenLinks;

    // The kinds ticked, and what the last walk found of them.
    LintFinder::Choice lintChoice() const;
    const LintFinder &lintFinder() const { return lint_; }
    // The lint rows of the last walk, by path, as the walk saw them.
    const Deletion::LintMap &lintFound() const { return lintFound_; }

    void btDeleteClick() override;

protected:
    void openingSteps() override;
    bool beforeWalk() override;
    void sortGrid() override;

private:
    // A lint entry (kind) found by the walk: a typed grid row at once.
    void addLintRow(const FoundFile &f, Removal::LintKind kind);
    // "Clean?" is enabled while a counted file or a lint row is marked (a
    // marked folder has no size to count).
    void updateClean();

    TempMatcher matcher_; // the selected rows of PickList1
    LintFinder lint_;
    Deletion::LintMap lintFound_;
};
