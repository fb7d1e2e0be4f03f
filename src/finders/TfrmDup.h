#pragma once
#include "finders/DupList.h"
#include "finders/SizeChoice.h"
#include "scan/TFinderFrame.h"

class QComboBox;
class QRadioButton;
class QSpinBox;

// The duplicate-file and file-hog finder. The mode (AppState::dupMode when
// the window is created) holds for the window's whole life: it decides the
// caption, the grid's columns, the lines' layout, the processing after the
// walk and which controls are shown.
class TfrmDup : public TFinderFrame {
    Q_OBJECT
public:
    explicit TfrmDup(QWidget *parent = nullptr);

    bool dupMode() const { return dupMode_; }
    // The criterion taken from cbDup when the last scan started.
    int criterion() const { return criterion_; }
    // Toggles the mark of a grid row (the pair comparison window's entry point).
    void MarkThisFile(int row);

    void btCompareClick();
    void rbSizeClick();
    // Closing hides the pair comparison window.
    void done(int r) override;
    // The report title of the grid's "Print".
    QString printTitle() const;

    // Controls, named as in the layout (the shared ones are the frame's).
    QRadioButton *rbLarger, *rbSmaller, *rbBetween;
    QSpinBox *num1, *num2;
    QLabel *lblAnd;
    QComboBox *cbKB1;
    QLabel *lblDup;
    QComboBox *cbDup;
    QPushButton *btCompare;

protected:
    void openingSteps() override;
    bool beforeWalk() override;
    void fillGrid() override;
    void sortGrid() override;

private:
    SizeChoice sizeChoice() const;
    bool visit(const FoundFile &f);

    const bool dupMode_;
    int criterion_ = 0;
    int gridCriterion_ = 0; // the criterion the grid's columns are set for
    SizeChoice choice_;
    DupList lbList;
};
