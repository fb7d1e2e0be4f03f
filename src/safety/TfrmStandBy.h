#pragma once
#include <QDialog>

class QProgressBar;

// The please-wait window "Loading Files": a message and a progress bar,
// shown by any window around a long loop. The caller sets bar's maximum
// (items less one), shows the window and repaints it, sets bar's value before
// each item, and hides it at the end. The user cannot close it. Each show and
// each hide forgets the non-delete test's remembered last folder, so a loop
// run under it never reuses a result from before.
class TfrmStandBy : public QDialog {
    Q_OBJECT
public:
    explicit TfrmStandBy(QWidget *parent = nullptr);
    // The program-wide instance (created at start; on first use in tests).
    static TfrmStandBy &instance();

    QProgressBar *bar;

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
};
