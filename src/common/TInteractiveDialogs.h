#pragma once
#include "common/Dialogs.h"

class QMessageBox;
class QWidget;

// Dialogs shown to the user: message boxes with the system's beeps.
class TInteractiveDialogs : public Dialogs {
public:
    Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title = {}) override;
    void showDetails(Kind kind, const QString &text, const QString &details) override;
    std::optional<std::string> chooseFolder(const QString &title, const std::string &start = {}) override;
    std::optional<std::string> chooseSaveFile(const QString &title, const QString &filter,
                                              const std::string &start = {}) override;
    std::optional<std::string> chooseOpenFile(const QString &title, const QString &filter,
                                              const std::string &start = {}) override;
    std::optional<QString> inputText(const QString &title, const QString &prompt, const QString &initial = {},
                                     bool password = false) override;
    bool choosePrinter(QPrinter &printer, const QString &title = {}) override;
    bool choosePrintRange(QPrinter &printer, bool offerSelection, const QString &title = {}) override;
    std::optional<QFont> chooseFont(const QFont &initial, bool fixedOnly) override;
    bool printerSetup(QPrinter &printer) override;

    // Widens a message box so that its title is never cut.
    static void fitTitle(QMessageBox &box);
    // A box's text as shown: a path is never broken at its "/".
    static QString boxText(const QString &text);
    // The box showDetails shows (details in the box's details area),
    // ready to exec or, in tests, to look at.
    static QMessageBox *detailsBox(Kind kind, const QString &text, const QString &details, QWidget *parent);
};
