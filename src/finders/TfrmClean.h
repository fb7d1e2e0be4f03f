#pragma once
#include "finders/TempMatcher.h"
#include "scan/GridLayout.h"
#include "scan/TFinderFrame.h"

#include <QStringList>

class QListWidget;
class QMenu;

// Quick clean: finds the files on the checked drives whose extension is that
// of a selected temporary-file pattern, lists them at once as the walk finds
// them, and hands the marked ones to the deletion window.
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

protected:
    void openingSteps() override;
    bool beforeWalk() override;
    void sortGrid() override;

private:
    TempMatcher matcher_; // the selected rows of PickList1
};
