#include "app/TWinPlace.h"
#include "platform/Paths.h"

#include <QDialog>
#include <QSettings>
#include <gtest/gtest.h>

namespace {
// A resizable tool window as the finders have: saves on destroy.
class ToolWindow : public QDialog {
public:
    explicit ToolWindow(const QString &section)
    {
        setObjectName("frmMods");
        place = new TWinPlace(this);
        place->IniFileName = "vantor.ini";
        place->Identifier = "frmMods";
        place->Section = section;
        if (!place->hasStored())
            place->centre();
    }
    ~ToolWindow() override { place->save(); }
    TWinPlace *place;
};

QString stored(const QString &key)
{
    QSettings s(QString::fromStdString(Paths::settingsFile("registry.ini")), QSettings::IniFormat);
    return s.value(key).toString();
}

void store(const QString &key, const QString &value)
{
    QSettings s(QString::fromStdString(Paths::settingsFile("registry.ini")), QSettings::IniFormat);
    s.setValue(key, value);
}
}

TEST(TWinPlace, CreationDefaults)
{
    QWidget w;
    w.setObjectName("frmBrowse");
    TWinPlace p(&w);
    EXPECT_EQ(p.IniFileName, "Software\\Brackwell Corporation\\");
    EXPECT_EQ(p.Identifier, "frmBrowse");
    EXPECT_EQ(p.Delimiter, " ");
    EXPECT_FALSE(p.Section.isEmpty());
    EXPECT_FALSE(p.Section.contains('/'));
}

TEST(TWinPlace, FormatAndParseTheTenNumbers)
{
    const TWinPlace::Fields f{0, 1, -1, -1, -1, -1, 137, 97, 777, 575};
    EXPECT_EQ(TWinPlace::format(f, " "), "0 1 -1 -1 -1 -1 137 97 777 575 ");
    EXPECT_EQ(TWinPlace::parse("0 1 -1 -1 -1 -1 137 97 777 575 ", " "), f);
    EXPECT_EQ(TWinPlace::parse("0 1 -1 -1 -1 -1 137 97 777 575", " "), f); // no trailing delimiter
    EXPECT_EQ(TWinPlace::parse("0;3;0;0;0;0;1;2;3;4;", ";")[1], 3);
    const TWinPlace::Fields junk = TWinPlace::parse("a b", " ");
    EXPECT_EQ(junk[0], 0);
    EXPECT_EQ(junk[1], 1); // show state defaults to shown normally
    EXPECT_EQ(junk[8], 0);
    EXPECT_EQ(TWinPlace::parse("", " ")[1], 1);
}

TEST(TWinPlace, SavedOnDestroyAppliedOnNextShowForTheSameSectionOnly)
{
    {
        ToolWindow w("frmDups");
        w.show();
        w.setGeometry(137, 97, 640, 478);
    }
    EXPECT_EQ(stored("vantor.ini/frmDups/frmMods"), "0 1 -1 -1 -1 -1 137 97 777 575 ");
    {
        ToolWindow w("frmDups");
        w.show();
        EXPECT_EQ(w.geometry(), QRect(137, 97, 640, 478));
    }
    {
        ToolWindow other("frmMods");
        other.resize(300, 200);
        const QPoint centred = other.pos();
        other.show();
        EXPECT_EQ(other.pos(), centred);
        EXPECT_EQ(other.size(), QSize(300, 200));
    }
}

TEST(TWinPlace, BadStoredValuesChangeNothing)
{
    for (const QString &value : {QString("0 1 0 0 0 0 10 10 10 300 "), QString("garbage"), QString("")}) {
        store("vantor.ini/frmDups/frmMods", value);
        QWidget w;
        TWinPlace p(&w);
        p.IniFileName = "vantor.ini";
        p.Section = "frmDups";
        p.Identifier = "frmMods";
        w.setGeometry(50, 60, 200, 100);
        w.show();
        EXPECT_EQ(w.geometry(), QRect(50, 60, 200, 100)) << value.toStdString();
    }
}

TEST(TWinPlace, MainWindowSavedWhileMinimisedStoresShowState2)
{
    QWidget main;
    main.setObjectName("frmMain");
    TWinPlace p(&main);
    p.isMainWindow = true;
    main.setGeometry(10, 20, 300, 200);
    main.show();
    main.setWindowState(Qt::WindowMinimized);
    p.save();
    const TWinPlace::Fields f = TWinPlace::parse(stored(p.IniFileName.chopped(1).replace('\\', '/') + "/" + p.Section
                                                        + "/frmMain"),
                                                 " ");
    EXPECT_EQ(f[1], 2);
    EXPECT_LT(f[6], f[8]);
}
