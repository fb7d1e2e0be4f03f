#pragma once
#include "scan/NameFilters.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "Select a file extension": the extension picker of the type-list and
// temporary-pattern editors. After OK the caller reads isSeveral(),
// pattern() and typeName() (empty when no pattern results) or
// selectedLines() (pattern, tab, type name).
class TfrmSelectExtension : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelectExtension(QWidget *parent = nullptr);

    bool isSeveral() const { return result_.several; }
    QString pattern() const { return result_.pattern; }
    QString typeName() const { return result_.typeName; }
    QStringList selectedLines() const;

    QLineEdit *Edit1() const { return edit_; }
    QListWidget *lBox() const { return list_; }

protected:
    void showEvent(QShowEvent *e) override;

private:
    void finish(bool byDoubleClick);
    void lBoxClick(QListWidgetItem *item);

    QLineEdit *edit_;
    QListWidget *list_;
    QPushButton *ok_;
    QPushButton *cancel_;
    NameFilters::ExtensionPick result_;
};
