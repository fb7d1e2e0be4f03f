#include "inspect/TFindDlg.h"

#include "common/TLongLived.h"

TFindDlg::TFindDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDlg"));
    setWindowTitle(QStringLiteral("Find"));
}

TFindDlg &TFindDlg::instance() { return TLongLived<TFindDlg>::instance(); }
