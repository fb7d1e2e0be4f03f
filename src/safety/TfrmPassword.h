#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Enter Password": the password for an encrypted archive item, typed twice.
// OK is enabled only while both fields hold exactly the same text; changing
// the first field empties the second.
class TfrmPassword : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPassword(QWidget *parent = nullptr);
    // The password typed (valid after OK).
    QString password() const;

    QLineEdit *passwordEdit() const { return edPassword; }
    QLineEdit *verifyEdit() const { return edVerify; }
    QPushButton *okButton() const { return btOK; }

private:
    void updateOk();

    QLabel *lblPassword, *lblVerify;
    QLineEdit *edPassword, *edVerify;
    QPushButton *btOK, *btCancel;
};
