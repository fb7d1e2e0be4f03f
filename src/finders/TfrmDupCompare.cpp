#include "finders/TfrmDupCompare.h"

#include "common/TLongLived.h"

TfrmDupCompare::TfrmDupCompare(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDupCompare"));
    setWindowTitle(QStringLiteral("Compare file pairs"));
}

TfrmDupCompare &TfrmDupCompare::instance() { return TLongLived<TfrmDupCompare>::instance(); }
