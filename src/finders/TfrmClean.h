#pragma once
#include "finders/TempMatcher.h"
#include "scan/GridLayout.h"
#include "scan/Walker.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QWidget;
class TDriveCheckList;
class TResultGrid;
class TWinPlace;

// Quick clean: finds the files on the checked drives whose extension is that
// of a selected temporary-file pattern, lists them at once as the walk finds
// them, and hands the marked ones to the deletion window.
class TfrmClean : public QDialog {
    Q_OBJECT
public:
    explicit TfrmClean(QWidget *parent = nullptr);
    ~TfrmClean() override;

    // The grid layout of this window: six columns, FileName marked, size
    // right-aligned, the five sort entries.
    static GridLayout gridLayout();

    void ReadInFromDisk();
    void selectAllExtensions();
    // The extension of name equals that of a selected pattern row.
    bool isThisFileTemporary(const std::string &name) const;
    void ClearGrid();
    void scan();

    void btScanClick();
    void btAbortClick();
    void btDeleteClick();
    void btEditClick();
    void BrowseDirectory1Click();
    void SelectAll2Click();
    void DeselectAll2Click();
    // The report title: "Temporary files on drive(s) " and each checked
    // drive's letter followed by a blank.
    QString printTitle() const;

    bool scanning() const { return walker_.running(); }
    int foundCount() const;
    // The walker as this window configured it (tests inject its clock and pump).
    Walker &walker() { return walker_; }

    QWidget *Panel1;
    QLabel *Label1;
    QListWidget *PickList1;
    QMenu *PickMenu;
    QPushButton *btEdit;
    TDriveCheckList *pckDrive;
    QPushButton *btScan, *btClose, *btAbort, *btMark, *btDelete, *btOptions, *btBrowse, *btDetails;
    TResultGrid *grid;
    QLabel *pnlSel;

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void layButtons();
    void setScanning(bool on);

    Walker walker_;
    TempMatcher matcher_; // the selected rows of PickList1
    TWinPlace *place_;
    int designPanelHeight_ = 0;
    bool hintsOff_ = false;
};
