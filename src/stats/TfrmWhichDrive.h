#pragma once
#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QWidget;
class TDriveCheckList;
class TShadowLabel;

// "Which drives and file types?": the three-page wizard the statistics
// window asks before a collection. After OK the caller reads the checked
// drives, the all/include/exclude choice and the checked type lines.
class TfrmWhichDrive : public QDialog {
    Q_OBJECT
public:
    explicit TfrmWhichDrive(QWidget *parent = nullptr);

    QStringList checkedDrives() const;
    bool allFiles() const { return all_; }
    bool include() const { return include_; }
    bool exclude() const { return exclude_; }
    // Pattern, tab, description of every checked type line, in list order.
    QStringList checkedTypes() const;
    // Every type line shown on page 3, in list order.
    QStringList typeLines() const;
    // 0, 1 or 2: the page shown.
    int currentPage() const;

    void btNext1Click();
    void btNext2Click();
    void btPrior2Click();
    void btPrior3Click();
    void btEditClick();
    void btOKClick();
    void setAllTypes(bool checked);
    void setAllDrives(bool checked);

    TDriveCheckList *pckDrive;
    QRadioButton *rbAll, *rbInclude, *rbExclude;
    QTreeWidget *PickList1;
    QLabel *lblCounter;
    TShadowLabel *lblTitle3;
    QPushButton *btNext1, *btCancel1, *btPrior2, *btNext2, *btEdit, *btPrior3, *btOK;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString section() const;
    void loadTypes();
    void showPage(int page);
    void PickList1Click();
    int checkedTypeCount() const;

    QWidget *pages_[3];
    bool all_ = false, include_ = false, exclude_ = false;
};
