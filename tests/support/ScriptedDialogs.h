#pragma once
#include "common/Dialogs.h"

#include <QString>
#include <deque>
#include <optional>
#include <string>
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
        QString details; // the details area of showDetails
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title = {}) override;
    // Recorded as one OK box with its details.
    void showDetails(Kind kind, const QString &text, const QString &details) override;

    std::optional<std::string> chooseFolder(const QString &title, const std::string &start = {}) override;
    std::optional<std::string> chooseOpenFile(const QString &title, const QString &filter,
                                              const std::string &start = {}) override;
    // The next queued file (as chooseOpenFile); recorded as "save:" and the title.
    std::optional<std::string> chooseSaveFile(const QString &title, const QString &filter,
                                              const std::string &start = {}) override;
    std::optional<QString> inputText(const QString &title, const QString &prompt, const QString &initial = {},
                                     bool password = false) override;
    // Prints to the PDF file printPdf when it is set (else declines).
    bool choosePrinter(QPrinter &printer, const QString &title = {}) override;
    // Like choosePrinter; chooses the "Selection" range when it is offered
    // and printSelection is set.
    bool choosePrintRange(QPrinter &printer, bool offerSelection, const QString &title = {}) override;
    // The next queued font (none queued: cancelled); recorded as "font".
    std::optional<QFont> chooseFont(const QFont &initial, bool fixedOnly) override;
    // Counts setupDialogs; OK when setupAnswer is set.
    bool printerSetup(QPrinter &printer) override;

    // Queue the answer for the next question (boxes with more than an OK button).
    void answer(Answer a) { answers.push_back(a); }

    // Answers for pickers and input boxes, used in order; an empty optional
    // (or none queued) cancels. Each call is recorded in pickers ("folder:",
    // "file:", "input:" followed by the title).
    std::deque<std::optional<std::string>> folders, files;
    std::deque<std::optional<QString>> inputs;
    std::vector<QString> pickers;
    QString fileFilter; // the filter of the last file picker
    QString printPdf;
    bool printSelection = false;
    bool selectionOffered = false;
    std::deque<std::optional<QFont>> fonts;
    bool fixedFontsOnly = false;
    int setupDialogs = 0;
    bool setupAnswer = false;
    int printDialogs = 0;

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
