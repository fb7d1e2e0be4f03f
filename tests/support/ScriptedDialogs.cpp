#include "support/ScriptedDialogs.h"

#include <QPrinter>

ScriptedDialogs::ScriptedDialogs() : previous_(setDialogs(this)) {}
ScriptedDialogs::~ScriptedDialogs() { setDialogs(previous_); }

void ScriptedDialogs::showDetails(Kind kind, const QString &text, const QString &details)
{
    boxes.push_back({kind, text, Buttons::Ok, {}, details});
}

Dialogs::Answer ScriptedDialogs::message(Kind kind, const QString &text, Buttons buttons, const QString &title)
{
    boxes.push_back({kind, text, buttons, title, {}});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (!answers.empty()) {
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
}

std::vector<QString> ScriptedDialogs::texts() const
{
    std::vector<QString> t;
    for (const Box &b : boxes)
        t.push_back(b.text);
    return t;
}

int ScriptedDialogs::count(const QString &t) const
{
    int n = 0;
    for (const Box &b : boxes)
        n += b.text == t;
    return n;
}

namespace {
template <typename T>
std::optional<T> take(std::deque<std::optional<T>> &q)
{
    std::optional<T> v;
    if (!q.empty()) {
        v.swap(q.front());
        q.pop_front();
    }
    return v;
}
}

std::optional<std::string> ScriptedDialogs::chooseFolder(const QString &title, const std::string &)
{
    pickers.push_back("folder:" + title);
    return take(folders);
}

std::optional<std::string> ScriptedDialogs::chooseOpenFile(const QString &title, const QString &filter,
                                                           const std::string &)
{
    pickers.push_back("file:" + title);
    fileFilter = filter;
    return take(files);
}

std::optional<std::string> ScriptedDialogs::chooseSaveFile(const QString &title, const QString &filter,
                                                           const std::string &)
{
    pickers.push_back("save:" + title);
    fileFilter = filter;
    return take(files);
}

std::optional<QString> ScriptedDialogs::inputText(const QString &title, const QString &, const QString &, bool)
{
    pickers.push_back("input:" + title);
    return take(inputs);
}

bool ScriptedDialogs::choosePrinter(QPrinter &printer, const QString &)
{
    ++printDialogs;
    if (printPdf.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printPdf);
    return true;
}

bool ScriptedDialogs::choosePrintRange(QPrinter &printer, bool offerSelection, const QString &title)
{
    selectionOffered = offerSelection;
    if (!choosePrinter(printer, title))
        return false;
    printer.setPrintRange(offerSelection && printSelection ? QPrinter::Selection : QPrinter::AllPages);
    return true;
}

std::optional<QFont> ScriptedDialogs::chooseFont(const QFont &, bool fixedOnly)
{
    pickers.push_back(QStringLiteral("font"));
    fixedFontsOnly = fixedOnly;
    if (fonts.empty())
        return std::nullopt;
    auto f = fonts.front();
    fonts.pop_front();
    return f;
}

bool ScriptedDialogs::printerSetup(QPrinter &)
{
    ++setupDialogs;
    return setupAnswer;
}
