#pragma once
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// "Wildcard pattern": the folder browser's pattern dialog. The caller puts
// the current pattern in with setPattern and, on OK, takes pattern().
class TfrmWildCard : public QDialog {
    Q_OBJECT
public:
    explicit TfrmWildCard(QWidget *parent = nullptr);

    QComboBox *cbWildCard() const { return box_; }
    QString pattern() const;
    void setPattern(const QString &pattern);

protected:
    void showEvent(QShowEvent *e) override;

private:
    void updateLabels();

    QComboBox *box_;
    QLabel *lblWild_;
    QLabel *lblType_;
    QPushButton *ok_;
    QPushButton *cancel_;
};
