#pragma once
#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TShadowLabel;

// "Archive Zip File Options": the folder archives are written to and the
// comment put into them. Reads the settings when shown and writes them back
// whichever button closes it, so Cancel keeps the edits too; Cancel only
// tells the caller not to zip.
class TfrmZipOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmZipOptions(QWidget *parent = nullptr);

    // The comment as it was when the window closed (at most 80 characters).
    QString zipComment;

    void readSettings();
    void writeSettings();
    void SpeedButton1Click();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TShadowLabel *lblHeading;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QLineEdit *Edit1, *Edit2;
    QToolButton *SpeedButton1;
    QPushButton *btOK, *btCancel;
    std::string folder_; // the folder shown in Edit1, as bytes
};
