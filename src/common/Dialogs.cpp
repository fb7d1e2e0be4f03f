#include "common/Dialogs.h"

namespace {
// Answers every question with its negative choice and shows nothing; used
// only until the program or a test installs its own.
class SilentDialogs final : public Dialogs {
public:
    Answer message(Kind, const QString &, Buttons b, const QString &) override
    {
        switch (b) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel: return Answer::Cancel;
        default: return Answer::No;
        }
    }
    std::optional<std::string> chooseFolder(const QString &, const std::string &) override { return {}; }
    std::optional<std::string> chooseOpenFile(const QString &, const QString &, const std::string &) override
    {
        return {};
    }
    std::optional<QString> inputText(const QString &, const QString &, const QString &, bool) override { return {}; }
    bool choosePrinter(QPrinter &, const QString &) override { return false; }
};
SilentDialogs silent;
Dialogs *current = &silent;
}

Dialogs::~Dialogs() = default;

Dialogs &dialogs() { return *current; }

Dialogs *setDialogs(Dialogs *d)
{
    Dialogs *old = current;
    current = d ? d : &silent;
    return old;
}

void Dialogs::showDetails(Kind kind, const QString &text, const QString &details)
{
    message(kind, details.isEmpty() ? text : text + QStringLiteral("\n\n") + details, Buttons::Ok);
}

bool Dialogs::choosePrintRange(QPrinter &printer, bool, const QString &title) { return choosePrinter(printer, title); }

std::optional<QFont> Dialogs::chooseFont(const QFont &, bool) { return std::nullopt; }

std::optional<std::string> Dialogs::chooseSaveFile(const QString &, const QString &, const std::string &)
{
    return std::nullopt;
}

bool Dialogs::printerSetup(QPrinter &) { return false; }
