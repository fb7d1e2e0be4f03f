#pragma once
#include "platform/RegistryView.h"

#include <QDateTime>
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class TShadowLabel;

// "List of folders that should not be deleted": the folders of folders.txt,
// built from the registry view of installed software, edited by hand. The
// file is written (sorted, atomically) when the window closes and only when
// the list was changed; an empty list removes it.
class TfrmNoDelete : public QDialog {
    Q_OBJECT
public:
    explicit TfrmNoDelete(QWidget *parent = nullptr);

    // Where the build looks for installed software (tests use fake folders).
    RegistryView::Sources sources = RegistryView::systemSources();
    // The clock for the dates shown and stored (tests fix it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // The folders of the list, in list order, as native paths.
    std::vector<std::string> folders() const;
    bool listChanged() const { return listChanged_; }

    void done(int r) override;

public slots:
    void btAddClick();
    void btDelClick();
    void btBuildClick();
    void btCloseClick();

protected:
    void showEvent(QShowEvent *e) override;

private:
    void FormShow();
    void FormClose();
    void addFolder(const std::string &folder, int row = -1);
    void updatecount();
    void updateLastDate();

    TShadowLabel *EsLabel1;
    QLabel *lblCount;
    QListWidget *ListBox1;
    QLabel *lblWhen;
    QLabel *lblToday;
    QPushButton *btAdd;
    QPushButton *btDel;
    QPushButton *btBuild;
    QPushButton *btClose;
    bool listChanged_ = false;
    bool closed_ = false;
    bool listUnreadable_ = false;
};
