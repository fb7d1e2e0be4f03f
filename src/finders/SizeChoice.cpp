#include "finders/SizeChoice.h"

bool SizeChoice::keeps(int64_t size) const
{
    switch (kind) {
    case Larger: return size >= low();
    case Smaller: return size <= low();
    default: return size >= low() && size <= high();
    }
}

QString SizeChoice::unitText() const
{
    return kilobytes ? QStringLiteral("KB") : QStringLiteral("bytes");
}

QString SizeChoice::phrase() const
{
    const QString one = QString::number(num1) + QLatin1Char(' ') + unitText();
    switch (kind) {
    case Larger: return QStringLiteral("larger or equal to ") + one;
    case Smaller: return QStringLiteral("smaller or equal to ") + one;
    default:
        return QStringLiteral("in between ") + one + QStringLiteral(" and ") + QString::number(num2) + QLatin1Char(' ')
            + unitText();
    }
}
