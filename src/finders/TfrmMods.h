#pragma once
#include "finders/DateRange.h"
#include "scan/GridLayout.h"
#include "scan/TFinderFrame.h"

class QButtonGroup;
class QDateEdit;
class QGroupBox;
class QRadioButton;

// Files in a range of dates: the files on the checked drives whose last
// access, creation or last change lies on or before a date, between two
// dates or on or after a date, listed at once as the walk finds them. The
// search (stamp, range, dates, pattern) is taken when "&Start" is pressed
// and holds for the whole walk and for the report title.
class TfrmMods : public TFinderFrame {
    Q_OBJECT
public:
    explicit TfrmMods(QWidget *parent = nullptr);

    // Seven columns, the file name marked, the size right-aligned, seven sort entries.
    static GridLayout gridLayout();

    // The search the controls describe now.
    DateRange criteria() const;
    // The search of the last walk (the report's title names it).
    const DateRange &scanCriteria() const { return scanned_; }
    // "Files Last accessed before 1/31/1998" and the like, for the last walk.
    QString printTitle() const;

    void rgWhenClick();
    void dtStartGetDate();
    void dtEndGetDate();

    QGroupBox *rgWhat, *rgWhen;
    QRadioButton *rbAccessed, *rbCreated, *rbModified;
    QRadioButton *rbBefore, *rbBetween, *rbAfter;
    QDateEdit *dtStart, *dtEnd;
    QLabel *lblAnd;

protected:
    void openingSteps() override;
    bool beforeWalk() override;
    QString browseMask() const override;
    QString foundStatus(int found) const override;

private:
    QButtonGroup *what_, *when_;
    DateRange scanned_;
    bool adjusting_ = false; // one date field is moving the other
};
