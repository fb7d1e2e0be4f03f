#pragma once
#include <QDialog>

// The find dialog of the file viewer.
// One long-lived instance, created at start and hidden and shown many times.
class TFindDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFindDlg(QWidget *parent = nullptr);
    // The program-wide instance (created at start; on first use in tests).
    static TFindDlg &instance();
};
