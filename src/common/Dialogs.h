#pragma once
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QPrinter;

// Every message box, question, input box, picker and print dialog goes through
// this one interface, so windows can be driven by tests. The program installs
// the interactive implementation; tests install a scripted one.
class Dialogs {
public:
    enum class Kind { Error, Warning, Info, Question, Plain };
    enum class Buttons { Ok, YesNo, OkCancel, YesNoCancel, YesAllNoCancel };
    enum class Answer { Ok, Cancel, Yes, No, YesToAll };

    virtual ~Dialogs();

    // One box: kind (icon and beep), text, buttons, title (empty: the
    // application's title). Returns the button pressed.
    virtual Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title = {}) = 0;

    // Exclamation beep, error box, OK.
    void showError(const QString &text) { message(Kind::Error, text, Buttons::Ok); }
    // Critical-stop beep, warning box, OK.
    void showWarning(const QString &text) { message(Kind::Warning, text, Buttons::Ok); }
    // Information box, OK, no beep.
    void showInfo(const QString &text) { message(Kind::Info, text, Buttons::Ok); }
    // Plain message box with OK.
    void showMessage(const QString &text) { message(Kind::Plain, text, Buttons::Ok); }
    // A box with OK whose text stays short and whose details (a long list,
    // one item a line or more) sit in a details area the user can open, so
    // the box keeps within the screen however long the list. Without
    // details it is the plain box of its kind.
    virtual void showDetails(Kind kind, const QString &text, const QString &details);
    // Questions: true for Yes (or OK).
    bool askYesNo(const QString &text, const QString &title = {})
    {
        return message(Kind::Question, text, Buttons::YesNo, title) == Answer::Yes;
    }
    bool askOkCancel(const QString &text, const QString &title = {})
    {
        return message(Kind::Question, text, Buttons::OkCancel, title) == Answer::Ok;
    }
    Answer askYesNoCancel(const QString &text, const QString &title = {})
    {
        return message(Kind::Question, text, Buttons::YesNoCancel, title);
    }
    // Yes, "Yes to all", No and Cancel; No is the default button, so that
    // Enter never confirms a removal.
    Answer askYesAllNoCancel(const QString &text, const QString &title = {})
    {
        return message(Kind::Question, text, Buttons::YesAllNoCancel, title);
    }

    // A folder picker titled title, starting at start; nothing when cancelled.
    // The folder is a native path as bytes.
    virtual std::optional<std::string> chooseFolder(const QString &title, const std::string &start = {}) = 0;
    // An existing file to open (filter in QFileDialog form); nothing when cancelled.
    virtual std::optional<std::string> chooseOpenFile(const QString &title, const QString &filter,
                                                      const std::string &start = {}) = 0;
    // A file name to save to (filter in QFileDialog form, start a proposed
    // name or path); the user confirmed replacing an existing file. Nothing
    // when cancelled.
    virtual std::optional<std::string> chooseSaveFile(const QString &title, const QString &filter,
                                                      const std::string &start = {});
    // A one-line text input; nothing when cancelled.
    virtual std::optional<QString> inputText(const QString &title, const QString &prompt,
                                             const QString &initial = {}, bool password = false) = 0;
    // The print dialog for printer; true when the user confirms printing.
    virtual bool choosePrinter(QPrinter &printer, const QString &title = {}) = 0;
    // The print dialog, offering "Selection" as a print range when
    // offerSelection is set; the chosen range is the printer's printRange().
    virtual bool choosePrintRange(QPrinter &printer, bool offerSelection, const QString &title = {});
    // A font dialog starting at initial (fixed-pitch fonts only when
    // fixedOnly); nothing when cancelled.
    virtual std::optional<QFont> chooseFont(const QFont &initial, bool fixedOnly);
    // The printer setup dialog for printer; true on OK.
    virtual bool printerSetup(QPrinter &printer);
};

// The program-wide instance. Never null once the program or a test has started.
Dialogs &dialogs();
// Installs an implementation (not owned); returns the previous one.
Dialogs *setDialogs(Dialogs *d);
