#pragma once
#include <QDialog>

class QPushButton;

// "How to contact us": the maker's name, address, numbers and web address,
// with a button that opens the maker's home page in the desktop's browser.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    static constexpr const char *makerName = "Brackwell Corporation";
    static constexpr const char *webAddress = "http://www.brackwell.example/";

public slots:
    void btWebClick();

private:
    QPushButton *OKButton;
    QPushButton *btWeb;
};
