#include "stats/TStatPageDeleted.h"

#include "common/Dialogs.h"
#include "common/Text.h"
#include "settings/IniFile.h"
#include "stats/StatText.h"
#include "stats/TStatWidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

using namespace TStatWidgets;

void TStatPageDeleted::build(QWidget *page)
{
    auto *title = label(page, QStringLiteral("Files processed by Vantor 98"), QRect(10, 8, 600, 28), "lblTitle");
    QFont f = title->font();
    f.setPointSize(13);
    f.setBold(true);
    title->setFont(f);
    label(page, QStringLiteral("Number of files"), QRect(230, 44, 130, 20));
    label(page, QStringLiteral("Total size"), QRect(370, 44, 200, 20));
    const char *const rows[3] = {"Deleted files", "Files sent to the recycle bin", "Zipped files"};
    QLineEdit **edits[6] = {&edNdelete, &edSzDelete, &edNWaste, &edSzWaste, &edNZip, &edSzZip};
    const char *const names[6] = {"edNdelete", "edSzDelete", "edNWaste", "edSzWaste", "edNZip", "edSzZip"};
    for (int r = 0; r < 3; ++r) {
        label(page, QLatin1String(rows[r]), QRect(10, 70 + 36 * r, 210, 24));
        for (int c = 0; c < 2; ++c) {
            auto *e = new QLineEdit(page);
            e->setObjectName(QLatin1String(names[2 * r + c]));
            e->setReadOnly(true);
            e->setAlignment(Qt::AlignRight);
            e->setGeometry(c == 0 ? 230 : 370, 70 + 36 * r, c == 0 ? 130 : 200, 24);
            *edits[2 * r + c] = e;
        }
    }
    lblSince1 = label(page, {}, QRect(10, 184, 400, 20), "lblSince1");
    lblZipSince = label(page, {}, QRect(10, 206, 400, 20), "lblZipSince");
    Button1 = new QPushButton(QStringLiteral("Reset these numbers"), page);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    Button1->setGeometry(10, 240, 180, 27);
    connect(Button1, &QPushButton::clicked, this, &TStatPageDeleted::Button1Click);
}

void TStatPageDeleted::showFilesDeleted()
{
    const IniFile ini;
    const QString section = QStringLiteral("Vantor");
    auto value = [&](const char *key) { return ini.readInt(section, QLatin1String(key), -1); };
    lblSince1->setText(StatText::since(value("DelDate")));
    lblZipSince->setText(StatText::since(value("ZipDate")));
    struct Pair {
        QLineEdit *count, *size;
        const char *countKey, *sizeKey;
    };
    const Pair pairs[3] = {{edNdelete, edSzDelete, "Ndelete", "SizeDelete"},
                           {edNWaste, edSzWaste, "NWaste", "SizeWaste"},
                           {edNZip, edSzZip, "NZip", "SizeZip"}};
    for (const Pair &p : pairs) {
        const int64_t n = value(p.countKey);
        if (n > 0) {
            p.count->setText(formatThousands(n) + QStringLiteral(" files"));
            p.size->setText(formatThousands(std::max<int64_t>(0, value(p.sizeKey))) + QStringLiteral(" bytes"));
        } else {
            p.count->setText(QStringLiteral("n/a"));
            p.size->setText(QStringLiteral("n/a"));
        }
    }
}

void TStatPageDeleted::Button1Click()
{
    if (!dialogs().askYesNo(QStringLiteral("Reset cumulative totals?")))
        return;
    if (!writeOrReport([] { IniFile().resetTotals(); }))
        return;
    lblSince1->clear();
    lblZipSince->clear();
    for (QLineEdit *e : {edNdelete, edSzDelete, edNWaste, edSzWaste, edNZip, edSzZip})
        e->setText(QStringLiteral("n/a"));
}
