#pragma once
#include <QWidget>

class QComboBox;
class QLabel;

// Replaces the items of a pattern box by the pattern list ("*.*" first when
// withAll); the text in the box stays.
void fillPatternList(QComboBox *box, bool withAll);

// A new editable pattern box named cbWildCard with its hint, holding "*.*".
QComboBox *newPatternBox(QWidget *parent);

// A finder's pattern box: the caption "Matching", the editable box
// cbWildCard and its type label lblWild, kept up to date on every change.
// Finders put it into their top panel and read pattern().
class TPatternBox : public QWidget {
    Q_OBJECT
public:
    explicit TPatternBox(QWidget *parent = nullptr);

    QComboBox *cbWildCard() const { return box_; }
    QLabel *lblWild() const { return type_; }
    QLabel *caption() const { return caption_; }
    QString pattern() const;
    void setPattern(const QString &pattern);
    // Fills the list ("*.*" first), as the finders do at every show.
    void fillPatternList();

public slots:
    // Sets the type label from the box's text.
    void cbWildCardChange();

private:
    QLabel *caption_;
    QComboBox *box_;
    QLabel *type_;
};
