#pragma once
#include <QPointer>
#include <QWidget>

class QDialog;
class QLabel;
class QPushButton;
class THelpViewer;
class TShadowLabel;

// The main window: a fixed panel of buttons from which every tool is opened.
// Each show forgets the non-delete test's last folder, picks the background
// for the display, reads the archive folder and reloads the non-delete list.
// Tools (other than the statistics window) are created when their button is
// pressed, shown modally through TModal and destroyed when they close.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The tool launch guard: true when no run goes on (a walk, deletion,
    // zip ... in another window, whose events would run this tool nested
    // inside it) and the non-delete list file existed at the last load;
    // otherwise shows why and returns false.
    bool checkExceptionList();
    // True when no run goes on; otherwise says so and returns false.
    bool noRunGoingOn();
    // Reloads the non-delete lists (folders.txt, PATH, system folders).
    void GetSearchPath();
    // The tiled background, or the blue-to-black gradient below 15 bits of colour.
    void applyBackground(int colourDepth);
    bool usesGradient() const { return gradient_; }
    THelpViewer *helpViewer() const;

    static const QString guardMessage;

signals:
    // The window was closed; the program ends.
    void closed();

public slots:
    void btDuplicateClick();
    void btFileHogClick();
    void btFilesClick();
    void btDirHogsClick();
    void btCleanClick();
    void btStatisticClick();
    void btBrowseClick();
    void btClearCacheClick();
    void btZipClick();
    void btBuildClick();
    void btReachClick();
    void btHelpClick();
    void btCloseClick();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void FormShow();
    // Once: a settings file that is refused unread (a FIFO, a device, a huge
    // file) is named in a warning; it is left as it is.
    void warnRefusedSettings();
    // Shows a tool modally and destroys it when it closes (also on an error).
    int runTool(QDialog *tool);
    QPushButton *toolButton(const QString &name, const QString &caption, const QString &hint, int column, int row,
                            void (TfrmMain::*handler)());
    QPushButton *rowButton(const QString &name, const QString &caption, const QString &hint, int index,
                           void (TfrmMain::*handler)());

    TShadowLabel *lblTitle;
    QPushButton *btDuplicate, *btFileHog, *btFiles, *btDirHogs, *btClean;
    QPushButton *btStatistic, *btBrowse, *btClearCache, *btZip, *btBuild;
    QPushButton *btReach, *btHelp, *btClose;
    QLabel *EsLabel2, *EsLabel3;
    QPointer<THelpViewer> help_;
    bool gradient_ = false;
    bool settingsChecked_ = false;
};
