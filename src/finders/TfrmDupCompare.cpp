#include "finders/TfrmDupCompare.h"

#include "common/TLongLived.h"
#include "finders/TfrmDup.h"

TfrmDupCompare::TfrmDupCompare(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDupCompare"));
    setWindowTitle(QStringLiteral("Compare file pairs"));
}

TfrmDupCompare &TfrmDupCompare::instance() { return TLongLived<TfrmDupCompare>::instance(); }

void TfrmDupCompare::setFinder(TfrmDup *finder) { finder_ = finder; }

TfrmDup *TfrmDupCompare::finder() const { return finder_.data(); }

bool TfrmDupCompare::showFor(TfrmDup *finder)
{
    TfrmDupCompare &pairs = instance();
    pairs.setFinder(finder);
    pairs.show();
    pairs.raise();
    return true;
}
