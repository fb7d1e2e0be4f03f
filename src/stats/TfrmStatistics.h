#pragma once
#include "stats/StatScan.h"

#include <QColor>
#include <QDialog>
#include <QStringList>
#include <array>
#include <functional>
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

// The disk statistics window: a notebook of eleven pages showing the space
// of the drives, the running totals of reclaimed space, and the tallies of
// the last collection as grids and charts. One long-lived instance, shown
// modelessly; closing it only hides it, so the pages keep the last
// collection.
class TfrmStatistics : public QDialog {
    Q_OBJECT
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
    void doOverHang();
    void doFileTimes();
    void disenable(bool enabled);
    void btAbortClick();
    void btCancelClick();

    // --- Pages ------------------------------------------------------------------------
    void OvcNotebook1PageChanged(int index);
    // Space page: the bar chart of the selected drives (and its labels), the
    // pies of the ready drives, and the choices between them.
    void doDiskSize();
    void doPieCharts();
    void rgSpaceClick();
    void pckStatDriveClick();
    void SelectAll1Click();
    void DeselectAll1Click();
    void cbTotalClick();
    // Animation: Timer1 turns the pies, Timer2 steps the bar depth.
    void Timer1Timer();
    void Timer2Timer();
    void pie1Click();
    void ScrollBar1Change();
    void ScrollBar2Change();
    void sbTimeChange();
    // Prints the current page: the types listing as a report, any other
    // page as the window's image.
    void btPrintClick();
    // Sets a colour on the window, its pages, lists, charts and the cells of
    // its small grids (the types grid keeps its own).
    void changeBackgroundColor(const QColor &colour);
    void showFilesDeleted();
    void Button1Click();
    void doFileTypes();
    void doTotals();
    void rgTypesClick();
    // Sorts the types grid by menu item 0..4 (extension, type, size, number
    // of files, average size); nothing below two type rows.
    void SortbyExtensionClick(int item);
    void doFileSizes();
    void fillGridSizes();
    void rgSizesClick();
    void fillGridDates(const QString &title, QTableWidget *grid, int kind);
    void fillCombinedGridDates();
    void doFileAges();
    void rgAccessClick();
    void doFileAttrs();
    void SpeedButtonClick(int n);

    const StatTallies &tallies() const { return scan_.tallies; }
    StatScan &statScan() { return scan_; }
    bool isScanning() const { return scanning; }
    bool isCollected() const { return collected; }
    QString statusText() const;
    QStringList pickList1() const { return PickList1; }
    // The texts of the info buttons, in order 1..5.
    static QString infoText(int n);
    // The bar chart's depth and the time chart's depth (percent). The charts
    // draw no depth; the animation steps these.
    int barDepth() const { return barDepth_; }
    int timeDepth() const { return timeDepth_; }
    // The rotation of a pie chart in degrees.
    static int rotation(const QChartView *pie);
    // The start time of each half-hour point of the time chart.
    const QStringList &timeLabels() const { return timeLabels_; }
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
    // Space
    QLabel *lblTotal, *lblFree, *lblUsed, *lblTot, *lblPct, *lblPct2;
    QLabel *lblCaptions[3];
    QFrame *Panel1, *Panel2;
    QListWidget *pckStatDrive;
    QWidget *pnlDrives;
    QRadioButton *rgSpace1, *rgSpace2;
    QCheckBox *cbTotal;
    QChartView *chartSpaceBar;
    QWidget *pnlPie;
    std::array<QChartView *, 11> pie; // pie1 .. pie11
    QChartView *pieTotal;
    QFrame *Panel3, *Panel5;
    QScrollBar *ScrollBar1;
    QAction *SelectAll1, *DeselectAll1;
    QTimer *Timer1, *Timer2;
    // Deleted
    QLineEdit *edNdelete, *edSzDelete, *edNWaste, *edSzWaste, *edNZip, *edSzZip;
    QLabel *lblSince1, *lblZipSince;
    QPushButton *Button1;
    // Types
    QTableWidget *gridTypes;
    QChartView *chartPie;
    QScrollBar *ScrollBar2;
    QGroupBox *rgTypes;
    std::array<QRadioButton *, 4> rgTypesItems;
    QPushButton *btSort;
    QMenu *sortMenu;
    std::array<QAction *, 5> sortItems;
    // Sizes
    QChartView *Chart1;
    QTableWidget *gridSizes;
    QRadioButton *rgSize0, *rgSize1, *rgSize2;
    // Overhang
    std::array<QLabel *, 5> lblOver, lblCSize;
    QChartView *chartOverhang;
    QLabel *imArrow;
    QFrame *pnlOverhang, *pnlCluster;
    QLabel *lblSize, *lblLbl, *lblNumFiles;
    QPlainTextEdit *Memo1;
    // Access, Created, Modified (index by StatTallies::Kind)
    std::array<QChartView *, 3> chartAge;
    std::array<QTableWidget *, 3> gridAge;
    std::array<QRadioButton *, 3> rgAge0, rgAge1, rgAge2; // listing, by size, by number
    std::array<QToolButton *, 5> SpeedButton;
    // Combined
    QChartView *chartCombine;
    QTableWidget *gridCombine;
    QRadioButton *rbCombine1, *rbCombine2, *rgCombine0;
    // Attribute (index by StatTallies::Attr)
    std::array<QLabel *, 4> lblNAttr, lblSzAttr;
    QChartView *Chart2, *Chart3;
    // Time
    QChartView *Chart4;
    QScrollBar *sbTime;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildSpacePage(QWidget *page);
    void buildDeletedPage(QWidget *page);
    void buildTypesPage(QWidget *page);
    void buildSizesPage(QWidget *page);
    void buildOverhangPage(QWidget *page);
    void buildAgePage(QWidget *page, int kind);
    void buildCombinedPage(QWidget *page);
    void buildAttributePage(QWidget *page);
    void buildTimePage(QWidget *page);
    void infoButton(QWidget *page, int n);
    void setStatus(const QString &text);
    void placeNotYet();
    void scaleToFont();
    int scaled(int v) const;
    void disableOverhang();
    int typeRowCount() const; // data rows of gridTypes, without the totals row
    std::vector<QStringList> typeGridRows() const;
    void setTimer1(bool on);
    void layoutPies();
    static void rotate(QChartView *pie, int degrees);
    static void setRotation(QChartView *pie, int degrees);

    StatScan scan_;
    QString currentDrive;
    bool scanning = false;
    bool collected = false;
    double driveCapacity = 0;
    int64_t clusterSize = 0;
    QStringList PickList1; // the drives of the collection
    int checkedSort_ = 0;
    bool inDiskSize_ = false;
    bool inTimer1_ = false;
    int charted_ = 0;
    int barDepth_ = 1;
    int timeDepth_ = 8;
    double scale_ = 1.0; // the layout's factor for the font and screen in use
    QStringList timeLabels_;
};
