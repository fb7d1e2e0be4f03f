#pragma once
#include <QDialog>
#include <QList>
#include <QUrl>
#include <string>

class QAction;

class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class TViewer;
class TWinPlace;

// The file viewer window: one file shown read-only as text or as a
// hexadecimal dump, with searching, going to a line, tab expansion, font
// choice, printing, copying, and the readable strings of a binary file in a
// second viewer. Its creator sets the path and shows it modally.
class TfrmView : public QDialog {
    Q_OBJECT
public:
    explicit TfrmView(QWidget *parent = nullptr);
    ~TfrmView() override;

    // The file to show (bytes, as found); opened when the window is shown.
    void setPath(const std::string &path) { path_ = path; }
    const std::string &path() const { return path_; }
    // Shows path modally in a new viewer (what "View" does everywhere).
    static void viewFile(const std::string &path, QWidget *parent = nullptr);

    // Opens another file in this window (Open... and drops). False, after
    // "Could not open file <path>", when it is not a regular file.
    bool openFile(const std::string &path);
    // The strings window: Peek at strings, the ASCII and Hex buttons and
    // Hex Mode are hidden.
    void hideStringsControls();

    TViewer *Viewer1;
    QLabel *Header1[4];
    QRadioButton *rbAscii, *rbHex;
    QPushButton *btFont, *btPrint, *BitBtn1, *btStrings, *btClose;
    QMenu *File1, *Clipboard1, *Search1, *Options1;
    QAction *Open1, *Print1, *PrintSetup1, *Exit1, *Copy1, *SelectAll1, *Find1, *FindNext1, *GotoLine1,
        *HexMode1, *TabExpansion1, *TabSize1, *Font1;

public slots:
    void Open1Click();
    void Exit1Click();
    void btCloseClick();
    void PrintSetup1Click();
    void Print1Click();
    void File1Click();
    void Clipboard1Click();
    void SelectAll1Click();
    void Copy1Click();
    void Search1Click();
    void Find1Click();
    void FindNext1Click();
    void GotoLine1Click();
    void HexMode1Click();
    void rbAsciiClick();
    void rbHexClick();
    void TabExpansion1Click();
    void TabSize1Click();
    void Font1Click();
    void btStringsClick();
    void Viewer1ShowStatus();
    // Files dropped on the window: the first one is opened by its whole path.
    void FilesDropped(const QList<QUrl> &urls);

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void FormShow();
    void searchDone(bool found, const QString &text);
    void recomputeItems();
    // A count, search or strings scan runs (events are pumped in it).
    bool busy() const;
    // While busy: says so and returns true.
    bool refusedWhileBusy();
    // Asks the runs going on to stop; false when none runs.
    bool abortRuns();
    void fitStatusWidths();

    std::string path_;
    TWinPlace *place_;
    bool shown_ = false;
    bool scanning_ = false;       // Peek at strings is reading the file
    bool stringsAborted_ = false; // ... and was asked to stop
};
