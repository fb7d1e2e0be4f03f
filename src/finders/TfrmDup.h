#pragma once
#include "finders/DupList.h"
#include "finders/SizeChoice.h"
#include "scan/Walker.h"

#include <QDialog>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;
class TDriveCheckList;
class TPatternBox;
class TResultGrid;
class TWinPlace;

// The duplicate-file and file-hog finder. The mode (AppState::dupMode when
// the window is created) holds for the window's whole life: it decides the
// caption, the grid's columns, the lines' layout, the processing after the
// walk and which controls are shown.
class TfrmDup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDup(QWidget *parent = nullptr);
    ~TfrmDup() override;

    bool dupMode() const { return dupMode_; }
    // The criterion taken from cbDup when the last scan started.
    int criterion() const { return criterion_; }
    TResultGrid *resultGrid() const { return grid; }
    // Toggles the mark of a grid row (the pair comparison window's entry point).
    void MarkThisFile(int row);

    void btScanClick();
    void btAbortClick();
    void btDeleteClick();
    void btCompareClick();
    void BrowseDirectory1Click();
    void rbSizeClick();
    // The report title of the grid's "Print".
    QString printTitle() const;

    // Controls, named as in the layout.
    QWidget *pnlTop;
    QRadioButton *rbLarger, *rbSmaller, *rbBetween;
    QSpinBox *num1, *num2;
    QLabel *lblAnd;
    QComboBox *cbKB1;
    TPatternBox *patternBox;
    QLabel *lblDup;
    QComboBox *cbDup;
    TDriveCheckList *pckDrive;
    QPushButton *btScan, *btClose, *btAbort, *btMark, *btDelete, *btOptions, *btBrowse, *btDetails, *btCompare;
    TResultGrid *grid;
    QLabel *pnlSel;

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;
    void done(int r) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void scan();
    // Sets the inputs for a scan running (false) or ended (true).
    void setInputsEnabled(bool on);
    void setResultButtons(bool any);
    void layoutButtons();
    SizeChoice sizeChoice() const;
    bool visit(const FoundFile &f);
    void setStatus(const QString &text);

    const bool dupMode_;
    int criterion_ = 0;
    int gridCriterion_ = -1; // the criterion the grid's columns are set for
    bool hintsOn_ = true;
    SizeChoice choice_;
    Walker walker_;
    DupList lbList;
    TWinPlace *place_;
};
