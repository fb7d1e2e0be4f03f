#include "stats/TfrmStatistics.h"

#include "common/TLongLived.h"

TfrmStatistics::TfrmStatistics(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("File Statistics Not Yet Collected"));
}

TfrmStatistics &TfrmStatistics::instance() { return TLongLived<TfrmStatistics>::instance(); }
