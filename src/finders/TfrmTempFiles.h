#pragma once
#include <QDialog>

class QListWidget;
class QPushButton;
class QLabel;

// The temporary-file pattern editor: the stored list of patterns that quick
// clean searches for. Loaded when shown, stored whenever it closes.
class TfrmTempFiles : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTempFiles(QWidget *parent = nullptr);

    // The rows of the list (pattern, tab, description), in list order.
    QStringList rows() const;

    void ReadInFromDisk();
    void WriteOutToDisk();

    void btAddClick();
    void btDeleteClick();
    void btClearClick();
    void btDefaultsClick();
    void btCloseClick();

    // Adds a row at its sorted place unless the list holds it already
    // (without regard to case).
    void addRow(const QString &row);

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QListWidget *PickList1;
    QPushButton *btAdd, *btDelete, *btClear, *btDefaults, *btClose;
    QLabel *lblTitle, *lblNote1, *lblNote2;
};
