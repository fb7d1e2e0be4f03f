#include "app/TNavigationTargets.h"

#include "common/Navigation.h"

// One line per target window, for example:
//   Navigation::setHandler(Navigation::Target::ViewFile, [](const Navigation::Request &r) {
//       TfrmView w(qobject_cast<QWidget *>(r.from));
//       w.openFile(r.path);
//       TModal::exec(&w);
//       return true;
//   });
// Until a target's window is part of the program it stays unregistered and
// every button or menu entry that leads to it is disabled.
void TNavigationTargets::install() {}
