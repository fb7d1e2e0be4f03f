#pragma once
#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QWidget;
class TShadowLabel;

// The browser cache folders: a stored list of folders whose files are
// cleared when they were not accessed for a chosen number of days. The list
// is read from the settings file at each opening (not at a restore from
// minimised) and written back however the window closes; the files go to
// the deletion window.
class TfrmCache : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCache(QWidget *parent = nullptr);

    // The listed folders, in list order.
    QStringList folders() const;
    // The files the last clear-out collected (emptied once the deletion
    // window closes).
    const std::vector<std::string> &lb1() const { return lb1_; }

    void ReadInFromDisk();
    void WriteOutToDisk();
    // Appends a folder unless it may not be a cache folder (then says why).
    bool addFolder(const std::string &folder);

    void btAddClick();
    void btDelClick();
    void btInitClick();
    void btClearClick();

    void done(int result) override;

    TShadowLabel *lblTitle;
    QLabel *lblExplain;
    QListWidget *ListBox1;
    QPushButton *btAdd, *btDel, *btInit;
    QWidget *pnlDays;
    QLabel *lblDays1, *lblDays2;
    QSpinBox *nDays;
    QPushButton *btClear, *btClose;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void appendFolders(const QStringList &list);

    std::vector<std::string> lb1_;
    int64_t lb1Bytes_ = 0;
};
