#include "app/TNavigationTargets.h"

#include "common/Navigation.h"
#include "finders/TfrmBrowse.h"
#include "finders/TfrmDup.h"
#include "finders/TfrmDupCompare.h"
#include "finders/TfrmFolderMap.h"
#include "inspect/TfrmDetails.h"
#include "inspect/TfrmView.h"
#include "safety/TfrmDelDirectory.h"
#include "safety/TfrmReallyDelete.h"
#include "common/TModal.h"

#include <QWidget>

// One line per target window. Until a target's window is part of the
// program it stays unregistered and every button or menu entry that leads
// to it is disabled.
void TNavigationTargets::install()
{
    Navigation::setHandler(Navigation::Target::ViewFile, [](const Navigation::Request &r) {
        TfrmView::viewFile(r.path, qobject_cast<QWidget *>(r.from));
        return true;
    });
    Navigation::setHandler(Navigation::Target::FileDetails, [](const Navigation::Request &r) {
        TfrmDetails::showDetails(r.path, qobject_cast<QWidget *>(r.from));
        return true;
    });
    Navigation::setHandler(Navigation::Target::BrowseFolder, [](const Navigation::Request &r) {
        TfrmBrowse w(qobject_cast<QWidget *>(r.from));
        w.setStart(r.path, r.selected, r.mask);
        TModal::exec(&w);
        return true;
    });
    Navigation::setHandler(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate);
    // The long-lived pair comparison, shown modelessly for the duplicate window.
    Navigation::setHandler(Navigation::Target::ComparePairs, [](const Navigation::Request &r) {
        return TfrmDupCompare::showFor(qobject_cast<TfrmDup *>(r.from));
    });
    Navigation::setHandler(Navigation::Target::FolderMap, &TfrmFolderMap::navigate);
    Navigation::setHandler(Navigation::Target::DeleteFiles, &TfrmReallyDelete::navigate);
}
