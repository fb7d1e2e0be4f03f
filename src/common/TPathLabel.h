#pragma once
#include <QLabel>

// A one-line label for a path: a path too long for the label is shortened in
// the middle ("/home/me/…/Drive-D-x.zip"), so both its start and its end (the
// file's own name and its folder's) stay readable; the whole path is the
// label's tooltip.
class TPathLabel : public QLabel {
    Q_OBJECT
public:
    explicit TPathLabel(QWidget *parent = nullptr);
    void setPath(const QString &path);
    // The whole path (text() is what is shown).
    const QString &path() const { return path_; }
    // path as shown in width pixels: whole when it fits; else cut in the
    // middle, with its last two names whole when they fit ("/home/me/Do…/
    // photos/holiday-at-the-lake.jpg"); else the end of the last name.
    static QString shortened(const QString &path, const QFontMetrics &fm, int width);

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void elide();
    QString path_;
};
