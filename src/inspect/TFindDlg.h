#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The find dialog of the file viewer.
// One long-lived instance, created at start and hidden and shown many times,
// so its text and choices persist from one search to the next.
class TFindDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFindDlg(QWidget *parent = nullptr);
    // The program-wide instance (created at start; on first use in tests).
    static TFindDlg &instance();

    QString text() const;
    bool backward() const;
    bool matchCase() const;
    bool global() const;

    QLineEdit *Edit1;
    QRadioButton *rbForward, *rbBackward;
    QCheckBox *cbMatchCase, *cbGlobal;
    QPushButton *btOK, *btCancel;

protected:
    void showEvent(QShowEvent *e) override;
};
