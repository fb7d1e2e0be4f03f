#pragma once
#include <QListWidget>
#include <QPointer>
#include <QStringList>
#include <vector>

class QAbstractButton;

// The finders' drive check list (pckDrive): one checkable entry per drive
// with its type's icon, 209 by 132 pixels, items 16 pixels high. It keeps
// the window's start button enabled exactly while an entry is checked, and
// can keep itself 8 pixels from the right edge of the panel it lies on.
// At a fractional scale (120 dots per inch: 1.25) the list draws its frame a
// second time over its contents, which are filled out to whole device pixels
// over the frame's sides; at whole scales nothing is drawn twice.
class TDriveCheckList : public QListWidget {
    Q_OBJECT
public:
    explicit TDriveCheckList(QWidget *parent = nullptr, bool upperCase = true);

    // fillDriveList: the system's drive entries, none checked, then the
    // current drive's entry checked (else every C entry). withoutAB leaves
    // out the entries of drives A and B (the statistics wizard's list).
    void fillDriveList(bool withoutAB = false);
    // The button that starts a scan; its enabled state follows the checks.
    void setStartButton(QAbstractButton *button);
    // A further start button (a window with two kinds of scan).
    void addStartButton(QAbstractButton *button);
    // pckDriveClick: enables the start buttons when at least one entry is
    // checked, disables them when none is.
    void pckDriveClick();
    // The checked entries' texts, in list order (what ScanAllDrives walks).
    QStringList checkedEntries() const;
    int checkedCount() const;
    // Keeps the list's right edge margin pixels from the right edge of its
    // parent whenever the parent is resized.
    void keepAtRight(int margin = 8);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeAtRight();
    bool upper_;
    // Lies over the whole list, lets every mouse event through and draws
    // the frame at fractional scales.
    QWidget *frameOver_;
    int margin_ = -1;
    QPointer<QAbstractButton> start_;
    std::vector<QPointer<QAbstractButton>> moreStarts_;
};
