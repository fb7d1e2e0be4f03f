#pragma once
#include "stats/StatScan.h"
#include "stats/TStatPage.h"

#include <QColor>
#include <QDialog>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QChartView;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class TStatPageAges;
class TStatPageAttributes;
class TStatPageDeleted;
class TStatPageOverhang;
class TStatPageSizes;
class TStatPageSpace;
class TStatPageTime;
class TStatPageTypes;

// The disk statistics window: a notebook of eleven pages showing the space
// of the drives, the running totals of reclaimed space, and the tallies of
// the last collection as grids and charts. One long-lived instance, shown
// modelessly; closing it only hides it, so the pages keep the last
// collection.
//
// The window holds the notebook, the collection run, the buttons below it,
// the status line, the "not yet" panel and the pie timer. Each page (or
// group of pages) is a TStatPage (TStatPageSpace, TStatPageTypes, ...) that
// builds and fills its own controls; the window names those controls as
// members, under their names in the layout, for its callers.
class TfrmStatistics : public QDialog, private TStatHost {
    Q_OBJECT

    // First, so that the pages and the names of their controls below can
    // refer to them.
    StatScan scan_;
    std::unique_ptr<TStatPageSpace> space_;
    std::unique_ptr<TStatPageDeleted> deleted_;
    std::unique_ptr<TStatPageTypes> types_;
    std::unique_ptr<TStatPageSizes> sizes_;
    std::unique_ptr<TStatPageOverhang> overhang_;
    std::unique_ptr<TStatPageAges> ages_;
    std::unique_ptr<TStatPageAttributes> attributes_;
    std::unique_ptr<TStatPageTime> time_;

public:
    enum Page { Space, Deleted, Types, Sizes, Overhang, Access, Created, Modified, Combined, Attribute, Time };

    explicit TfrmStatistics(QWidget *parent = nullptr);
    ~TfrmStatistics() override;
    // The program-wide instance (created at start; on first use in tests).
    static TfrmStatistics &instance();

    // --- The collection run -----------------------------------------------------
    void btOKClick();
    double computePickListTotal() const;
    void clearVariables();
    void scan();
    void disenable(bool enabled);
    void btAbortClick();
    void btCancelClick();

    // --- Pages ------------------------------------------------------------------------
    void OvcNotebook1PageChanged(int index);
    // Animation: Timer1 turns the pies (Space and Types), Timer2 steps the
    // bar depth of the Space page.
    void Timer1Timer();
    void Timer2Timer();
    // Prints the current page: the types listing as a report, any other
    // page as the window's image.
    void btPrintClick();
    // Sets a colour on the window, its pages, lists, charts and the cells of
    // its small grids (the types grid keeps its own).
    void changeBackgroundColor(const QColor &colour);
    // Each page drawn again from the tallies.
    void doOverHang();
    void doFileTypes();
    // Sorts the types grid by menu item 0..4 (extension, type, size, number
    // of files, average size); nothing below two type rows.
    void SortbyExtensionClick(int item);
    void doFileSizes();
    void fillGridSizes();
    void fillGridDates(const QString &title, QTableWidget *grid, int kind);
    void fillCombinedGridDates();
    void doFileAges();
    void doFileAttrs();
    void doFileTimes();

    const StatTallies &tallies() const { return scan_.tallies; }
    StatScan &statScan() { return scan_; }
    bool isScanning() const { return scanning; }
    bool isCollected() const { return collected; }
    QString statusText() const;
    QStringList pickList1() const { return PickList1; }
    // The bar chart's depth and the time chart's depth (percent). The charts
    // draw no depth; the animation steps these.
    int barDepth() const;
    int timeDepth() const;
    // The rotation of a pie chart in degrees.
    static int rotation(const QChartView *pie);
    // The start time of each half-hour point of the time chart.
    const QStringList &timeLabels() const;
    // The cluster size of a drive entry, 0 when unknown (tests give their own).
    std::function<int64_t(const QString &entry)> clusterSizeOf;
    // The free, total and used bytes of a drive's root (tests give their own).
    std::function<bool(const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes)> driveSpace;

    // --- Controls (names as in the window's layout) --------------------------------
    QTabWidget *OvcNotebook1;
    QPushButton *btOK, *btPrint, *btCancel, *btAbort;
    QStatusBar *StatusBar1;
    QLabel *StatusText;
    QFrame *pnlNotYet;
    QLabel *lblNotYet;
    QTimer *Timer1;
    // The pages' controls.
    // Space
    QLabel *&lblTotal, *&lblFree, *&lblUsed, *&lblTot, *&lblPct, *&lblPct2;
    std::array<QLabel *, 3> &lblCaptions;
    QFrame *&Panel1, *&Panel2;
    QListWidget *&pckStatDrive;
    QWidget *&pnlDrives;
    QRadioButton *&rgSpace1, *&rgSpace2;
    QCheckBox *&cbTotal;
    QChartView *&chartSpaceBar;
    QWidget *&pnlPie;
    std::array<QChartView *, 11> &pie; // pie1 .. pie11
    QChartView *&pieTotal;
    QFrame *&Panel3, *&Panel5;
    QScrollBar *&ScrollBar1;
    QAction *&SelectAll1, *&DeselectAll1;
    QTimer *&Timer2;
    // Deleted
    QLineEdit *&edNdelete, *&edSzDelete, *&edNWaste, *&edSzWaste, *&edNZip, *&edSzZip;
    QLabel *&lblSince1, *&lblZipSince;
    QPushButton *&Button1;
    // Types
    QTableWidget *&gridTypes;
    QChartView *&chartPie;
    QScrollBar *&ScrollBar2;
    QGroupBox *&rgTypes;
    std::array<QRadioButton *, 4> &rgTypesItems;
    QPushButton *&btSort;
    QMenu *&sortMenu;
    std::array<QAction *, 5> &sortItems;
    // Sizes
    QChartView *&Chart1;
    QTableWidget *&gridSizes;
    QRadioButton *&rgSize0, *&rgSize1, *&rgSize2;
    // Overhang
    std::array<QLabel *, 5> &lblOver, &lblCSize;
    QChartView *&chartOverhang;
    QLabel *&imArrow;
    QFrame *&pnlOverhang, *&pnlCluster;
    QLabel *&lblSize, *&lblLbl, *&lblNumFiles;
    QPlainTextEdit *&Memo1;
    // Access, Created, Modified (index by StatTallies::Kind)
    std::array<QChartView *, 3> &chartAge;
    std::array<QTableWidget *, 3> &gridAge;
    std::array<QRadioButton *, 3> &rgAge0, &rgAge1, &rgAge2; // listing, by size, by number
    // Combined
    QChartView *&chartCombine;
    QTableWidget *&gridCombine;
    QRadioButton *&rbCombine1, *&rbCombine2, *&rgCombine0;
    // Attribute (index by StatTallies::Attr)
    std::array<QLabel *, 4> &lblNAttr, &lblSzAttr;
    QChartView *&Chart2, *&Chart3;
    // Time
    QChartView *&Chart4;
    QScrollBar *&sbTime;
    // The info buttons 1..5 of the date, combined and time pages.
    std::array<QToolButton *, 5> SpeedButton;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // TStatHost, for the pages
    TStatHost &host() { return *this; }
    bool isCurrentPage(const QWidget *page) const override;
    int scaledLength(int v) const override;
    void turnPies(bool on) override;
    bool piesTurning() const override;
    bool spaceOf(const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes) const override;
    QStringList collectionDrives() const override { return PickList1; }

    void buildButtons();
    void buildNotYet();
    void setStatus(const QString &text);
    void placeNotYet();
    void scaleToFont();
    int scaled(int v) const;
    void disableOverhang();

    QString currentDrive;
    bool scanning = false;
    bool collected = false;
    double driveCapacity = 0;
    int64_t clusterSize = 0;
    QStringList PickList1; // the drives of the collection
    bool inTimer1_ = false;
    double scale_ = 1.0; // the layout's factor for the font and screen in use
};
