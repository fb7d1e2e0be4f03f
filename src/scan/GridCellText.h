#pragma once
#include "common/Text.h"

#include <QString>
#include <string>
#include <string_view>

// How the result grid turns stored bytes into a cell's text; shared by the
// cells it makes and the sorts that order rows by those texts.
namespace GridCellText {

// A made cell as a line's field would have shown it: trimmed of spaces and
// at most 65535 characters.
inline QString finish(QString text)
{
    const QStringView t = trimSpaces(text);
    if (t.size() != text.size())
        text = t.toString();
    if (text.size() > 0xffff)
        text.truncate(0xffff);
    return text;
}

// A name or folder as bytes, as the grid shows it.
inline QString bytesText(std::string_view bytes)
{
    return displayName(std::string(bytes));
}

} // namespace GridCellText
