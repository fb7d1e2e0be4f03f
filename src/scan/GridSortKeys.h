#pragma once
#include <QString>
#include <QStringView>
#include <vector>

// Sort keys of result-grid cells.
namespace GridSortKeys {
// Digits and the locale's decimal separator of the text read as a decimal
// number (thousands separators and everything else drop out); 0 when the
// rest does not read as a number.
double number(QStringView text, QChar decimalPoint);

// Reads dates written in one date format (the short date format) quickly.
class DateReader {
public:
    explicit DateReader(const QString &format);
    // The Julian day of the text; 1 January 1900 when empty or unreadable.
    qint64 day(QStringView text) const;

private:
    enum class Part { Day, Month, Year2, Year4, Literal, Other };
    struct Token {
        Part part;
        QString literal;
    };
    std::vector<Token> tokens_;
    QString format_;
    bool fast_ = true;
};

// a before b comparing a-z as A-Z and then character codes.
int compareText(QStringView a, QStringView b);
}
