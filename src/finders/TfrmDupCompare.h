#pragma once
#include <QDialog>
#include <QPointer>

class TfrmDup;

// The duplicate pair comparison window, shown modelessly by the duplicate
// finder and hidden, never destroyed, when closed.
// One long-lived instance, created at start and hidden and shown many times.
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
    // handler, registered once the window has its comparison controls).
    static bool showFor(TfrmDup *finder);

private:
    QPointer<TfrmDup> finder_;
};
