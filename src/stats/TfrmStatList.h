#pragma once
#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

// "File types": the editor of one stored list of statistics file types
// (section "Include" or "Exclude"). Loaded when shown; Close stores the list
// and ends with OK, the close box ends with Cancel and stores nothing.
class TfrmStatList : public QDialog {
    Q_OBJECT
public:
    TfrmStatList(const QString &section, QWidget *parent = nullptr);

    QStringList lines() const;
    void btAddClick();
    void btDeleteClick();
    void btClearClick();
    void btCloseClick();
    // Adds a line at its sorted place unless the list holds exactly it.
    void addLine(const QString &line);

    QListWidget *PickList1;
    QLabel *lblCount;
    QPushButton *btAdd, *btDelete, *btClear, *btClose;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateCount();
    QString section_;
};
