#pragma once
#include <QDialog>
#include <QStringList>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The details of one file: name, type, size and cluster use, the three
// dates with how long ago they were, attributes, icon and version
// resource; it opens the file, views it or prints the details. Its creator
// sets the path and shows it modally.
class TfrmDetails : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDetails(QWidget *parent = nullptr);

    void setPath(const std::string &path) { path_ = path; }
    const std::string &path() const { return path_; }
    // Shows the details of path modally (what "Details" does everywhere).
    static void showDetails(const std::string &path, QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *lblFileName, *lblFileType, *lblSizeBytes, *lblSizeK, *lblCreate, *lblModify, *lblAccess, *lblAttributes;
    QPlainTextEdit *Memo1;
    QPushButton *btPrint, *btView, *btLaunch, *btClose;
    QWidget *pnlAttributes;
    // The lines last printed.
    QStringList lb;

public slots:
    void btLaunchClick();
    void btViewClick();
    void btPrintClick();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void FormShow();
    std::string path_;
    bool shown_ = false;
};
