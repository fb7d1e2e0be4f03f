#pragma once
#include "common/Dialogs.h"

#include <QString>
#include <deque>
#include <vector>

// Records every box shown and answers questions from a script. A question
// with no scripted answer gets its negative choice (No, Cancel), so an
// unscripted test never deletes anything.
class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        Kind kind;
        QString text;
        Buttons buttons;
        QString title;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title = {}) override;

    // Queue the answer for the next question (boxes with more than an OK button).
    void answer(Answer a) { answers.push_back(a); }

    std::vector<Box> boxes;
    std::deque<Answer> answers;

    // Texts of all boxes, in order.
    std::vector<QString> texts() const;
    // Number of boxes whose text equals t.
    int count(const QString &t) const;
    const Box *last() const { return boxes.empty() ? nullptr : &boxes.back(); }

private:
    Dialogs *previous_;
};
