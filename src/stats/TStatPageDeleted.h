#pragma once
#include "stats/TStatPage.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The Deleted page: the running totals of the files deleted, sent to the
// recycle bin and zipped (from the settings file), and their reset.
class TStatPageDeleted : public TStatPage {
public:
    using TStatPage::TStatPage;
    void build(QWidget *page);

    void showFilesDeleted();
    void Button1Click();

    QLineEdit *edNdelete = nullptr, *edSzDelete = nullptr, *edNWaste = nullptr, *edSzWaste = nullptr,
              *edNZip = nullptr, *edSzZip = nullptr;
    QLabel *lblSince1 = nullptr, *lblZipSince = nullptr;
    QPushButton *Button1 = nullptr;
};
