#include "settings/TWinPlace.h"
#include "platform/Paths.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
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

TEST(TWinPlace, PlacementOnAScreenThatIsGoneComesBackOnScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // Right of every screen (a second monitor that was unplugged), larger
    // than the screen, and above and left of it.
    struct Case {
        QString value;
        QSize size;
    };
    const Case cases[] = {
        {QString("0 1 -1 -1 -1 -1 %1 100 %2 400 ").arg(area.right() + 500).arg(area.right() + 900), QSize(400, 300)},
        {QString("0 1 -1 -1 -1 -1 -5000 -4000 -4800 -3850 "), QSize(200, 150)},
        {QString("0 1 -1 -1 -1 -1 0 0 %1 %2 ").arg(area.width() * 2).arg(area.height() * 2), area.size()},
    };
    for (const Case &c : cases) {
        store("vantor.ini/frmDups/frmMods", c.value);
        ToolWindow w("frmDups");
        w.show();
        EXPECT_TRUE(area.contains(w.frameGeometry())) << c.value.toStdString();
        EXPECT_EQ(c.size == area.size() ? w.frameGeometry().size() : w.size(), c.size) << c.value.toStdString();
    }
    // A placement on the screen is kept as it was, even a little over its edge.
    EXPECT_EQ(TWinPlace::onScreen(QRect(area.right() - 95, 30, 100, 80)), QRect(area.right() - 95, 30, 100, 80));
    EXPECT_EQ(TWinPlace::onScreen(QRect(area.topLeft() + QPoint(10, 20), QSize(100, 80))),
              QRect(area.topLeft() + QPoint(10, 20), QSize(100, 80)));
}

TEST(TWinPlace, MaximisedWithoutANormalPlacementRestoresMaximised)
{
    store("vantor.ini/frmDups/frmMods", "0 3 -1 -1 -1 -1 0 0 0 0 ");
    ToolWindow w("frmDups");
    w.show();
    EXPECT_TRUE(w.isMaximized());
}
