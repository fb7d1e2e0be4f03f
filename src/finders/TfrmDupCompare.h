#pragma once
#include "finders/DupPairs.h"

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class TPathLabel;
class TfrmDup;

// The duplicate pair comparison ("Compare file pairs"): two neighbouring
// rows of the duplicate finder's grid side by side, with what differs
// coloured aqua, which file is newer for each stamp, the checksums on
// request, the non-delete warning per side, and per side Mark, Open, View
// and Browse. Next and Previous (and Page Down / Page Up) walk the pairs
// that match under the finder's criterion and move the finder's grid along.
//
// One long-lived instance, created at start; the finder shows it modelessly
// (made transient for the finder, so it takes input while the finder is
// modal) and hides it when the finder closes or goes away. It reads the
// finder's grid as it is now: a new scan (the grid cleared) hides it, a
// re-filled or re-ordered grid makes it find its pair again, and Mark marks
// the row that holds the side's file, wherever that row now is.
class TfrmDupCompare : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDupCompare(QWidget *parent = nullptr);
    // The program-wide instance (created at start; on first use in tests).
    static TfrmDupCompare &instance();

    // The duplicate window whose grid, criterion and MarkThisFile the
    // comparison works on; set by that window before it shows this one.
    void setFinder(TfrmDup *finder);
    TfrmDup *finder() const;
    // Shows the instance for a duplicate window (the ComparePairs target's
    // handler) and loads the pair at the finder's current row.
    static bool showFor(TfrmDup *finder);

    // The current pair's upper row in the finder's grid (1 is the first file).
    int currentRow() const { return current_; }
    // The side's file as found (0 left, 1 right); empty when it shows none.
    const std::string &sidePath(int side) const { return sides_[size_t(side)].path; }
    bool busy() const { return busy_; }

    void FormShow();
    void sbL1Click();
    void sbR1Click();
    void btComputeClick();
    void btMark1Click() { markSide(0); }
    void btMark2Click() { markSide(1); }
    void btLaunch1Click() { launchSide(0); }
    void btLaunch2Click() { launchSide(1); }
    void btView1Click() { viewSide(0); }
    void btView2Click() { viewSide(1); }
    void btBrowse1Click();
    void btPrintClick();
    void computeCRCValues();
    void HighlightDifferences();
    void resizeIt();
    void changeBackgroundColor(const QColor &colour);

    // Controls, named as in the layout. Index 0 is the left side.
    std::array<QGroupBox *, 2> GroupBox{};
    std::array<QLabel *, 2> Image{}, lblDel{}, lblCreate{}, lblModify{}, lblAccess{}, lblSize{}, lblAttrib{},
        lblCRC{}, lblType{};
    std::array<TPathLabel *, 2> lblFolder{};
    std::array<QListWidget *, 2> tlBox{};
    std::array<QPushButton *, 2> btBrowse{}, btMark{}, btLaunch{}, btView{};
    QLabel *imgCreate, *imgModify, *imgAccess;
    QWidget *pnlLists, *pnlBottom;
    // Two pictures side by side, scaled to fit, each with its pixel and file
    // size, and how alike they are; shown only when both sides are pictures.
    QWidget *pnlPictures;
    std::array<QLabel *, 2> imgPicture{}, lblPixels{};
    QLabel *lblSimilarity;
    QCheckBox *cbCRC;
    QPushButton *sbL1, *sbR1, *btCompute, *btPrint, *btClose;

protected:
    void showEvent(QShowEvent *e) override;
    // However it is hidden (Close, the finder closing, a new scan), a
    // checksum run under way stops.
    void hideEvent(QHideEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    // GetLeftValues / GetRightValues: one side from a grid row (none past the last row).
    void loadSide(int side, int row);
    void loadPair();
    // Fills the picture panel for the pair, or hides it.
    void showPictures();
    void blankSide(int side);
    void markSide(int side);
    void launchSide(int side);
    void viewSide(int side);
    void moveTo(int row);
    // The finder's grid changed: find the pair again (or hide when it is empty).
    void gridChanged(bool cleared);
    void reload();
    // Makes current_ the row that holds the left file again, if it moved.
    bool syncCurrent();
    void placeArrows();
    // During a checksum run: stops it and remembers the move to make after
    // it (+1 Next, -1 Previous, 0 none); false when no run is going on.
    bool stopRunFor(int step);
    void setSideButtons();
    QColor faceColour() const;

    QPointer<TfrmDup> finder_;
    QList<QMetaObject::Connection> gridConnections_;
    int current_ = 0;
    std::array<DupPairs::Side, 2> sides_;
    bool crcKnown_ = false; // the current pair's checksums are shown
    bool busy_ = false;     // a checksum run is going on
    bool stop_ = false;     // asked to stop the run
    int pendingStep_ = 0;   // the move asked for during the run
    bool reloadQueued_ = false;
    QColor background_;
};
