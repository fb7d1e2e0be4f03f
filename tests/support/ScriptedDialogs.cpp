#include "support/ScriptedDialogs.h"

ScriptedDialogs::ScriptedDialogs() : previous_(setDialogs(this)) {}
ScriptedDialogs::~ScriptedDialogs() { setDialogs(previous_); }

Dialogs::Answer ScriptedDialogs::message(Kind kind, const QString &text, Buttons buttons, const QString &title)
{
    boxes.push_back({kind, text, buttons, title});
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
