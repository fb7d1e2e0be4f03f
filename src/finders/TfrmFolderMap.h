#pragma once
#include "common/Navigation.h"
#include "finders/DirHogScan.h"
#include "scan/Walker.h"

#include <QDialog>
#include <memory>
#include <string>

class QLabel;
class QMenu;
class QPushButton;
class FolderMap;
class TFolderMapView;
class TPathLabel;
class TWinPlace;

// "Folder map": the folders an all-folders walk totalled, as nested tiles
// whose areas are their bytes. Opened from folder hogs with the totals it
// holds, or from the browser on a folder, which this window walks itself.
// A click selects a folder (and the asking window's row of it), a double
// click or Enter shows the folder alone, Backspace or "Zoom out" its parent.
// The menu browses, removes (through the folder removal window) or copies a
// folder's path; the map and the asking window follow a removal.
class TfrmFolderMap : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFolderMap(QWidget *parent = nullptr);
    ~TfrmFolderMap() override;

    // The navigation target: the totals handed over, or a walk of r.path.
    static bool navigate(const Navigation::Request &r);

    // Walks every folder below folder (its drive's capacity for the shares)
    // and shows the map of it; Abort, Escape and the close box stop the walk
    // and the map shows what was found.
    void walkFolder(const std::string &folder);
    bool walking() const { return walker_.running(); }

    FolderMap *map() const;
    int zoom() const;
    // The folder shown: its tree fills the map. Nodes without sub-folders
    // are not zoomed into.
    void zoomTo(int node);
    void zoomIn(int node);
    void zoomOut();
    // The folder chosen: outlined, and the asking window's row selected.
    void selectNode(int node);
    int selectedNode() const;

    // The menu's entries, for the selected folder.
    void browseClick();
    void cleanClick();
    void copyPathClick();
    void btPrintClick();
    void btAbortClick();

    void reject() override;
    void done(int r) override;

    TPathLabel *lblZoom;
    QPushButton *btZoomOut, *btPrint, *btAbort, *btClose;
    TFolderMapView *view;
    QLabel *pnlPath, *pnlTotal;
    QMenu *menu;
    QAction *actZoomIn, *actZoomOut, *actBrowse, *actClean, *actCopyPath;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void tileHovered(int tile);
    void tileClicked(int tile);
    void tileDoubleClicked(int tile);
    void showMenu(int tile, const QPoint &globalPos);
    void showZoom();
    void setWalking(bool on);
    std::string pathOf(int node) const;

    Walker walker_;
    DirHogScan scan_;
    Navigation::Request hooks_;
    TWinPlace *place_;
};
