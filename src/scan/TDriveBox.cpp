#include "scan/TDriveBox.h"

#include "scan/TDriveIcons.h"

#include <cctype>

TDriveBox::TDriveBox(QWidget *parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("DriveComboBox1"));
    setIconSize(QSize(16, 16));
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && size_t(index) < drives_.size())
            emit driveChanged(QByteArray::fromStdString(drives_[size_t(index)].root));
    });
}

void TDriveBox::fillDriveList()
{
    const std::optional<Drive> was = drive();
    const QSignalBlocker quiet(this);
    clear();
    drives_ = Drives::list();
    for (const Drive &d : drives_)
        addItem(TDriveIcons::icon(d.type), Drives::entryText(d, upperCase));
    if (was)
        selectLetter(was->letter);
}

std::optional<Drive> TDriveBox::drive() const
{
    const int i = currentIndex();
    if (i < 0 || size_t(i) >= drives_.size())
        return std::nullopt;
    return drives_[size_t(i)];
}

bool TDriveBox::selectLetter(char letter)
{
    const char upper = char(std::toupper(static_cast<unsigned char>(letter)));
    for (size_t i = 0; i < drives_.size(); ++i) {
        if (drives_[i].letter == upper) {
            const QSignalBlocker quiet(this);
            setCurrentIndex(int(i));
            return true;
        }
    }
    return false;
}

void TDriveBox::selectNone()
{
    const QSignalBlocker quiet(this);
    setCurrentIndex(-1);
}
