#pragma once
#include <QDialog>

// The disk statistics window, shown modelessly from the main window; it
// keeps its results between showings.
// One long-lived instance, created at start and hidden and shown many times.
class TfrmStatistics : public QDialog {
    Q_OBJECT
public:
    explicit TfrmStatistics(QWidget *parent = nullptr);
    // The program-wide instance (created at start; on first use in tests).
    static TfrmStatistics &instance();
};
