#pragma once
#include <QLabel>

// A one-line label for a path: a path too long for the label is shortened in
// the middle ("/home/me/…/Drive-D-x.zip"), so both its start and its file
// name stay readable; the whole path is the label's tooltip.
class TPathLabel : public QLabel {
    Q_OBJECT
public:
    explicit TPathLabel(QWidget *parent = nullptr);
    void setPath(const QString &path);
    // The whole path (text() is what is shown).
    const QString &path() const { return path_; }

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void elide();
    QString path_;
};
