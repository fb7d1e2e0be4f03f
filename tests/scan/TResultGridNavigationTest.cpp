#include "GridTestLayout.h"
#include "common/Navigation.h"
#include "common/TShell.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

using Navigation::Target;

namespace {
struct OneFileGrid {
    TempTree tree;
    std::string path = tree.file("caf\xe9 notes.txt", "x");
    TResultGrid grid{hogLayout()};
    OneFileGrid()
    {
        grid.addToGrid(hogLine("1", path), path);
        grid.trimRows();
        grid.setSelectedRow(1);
    }
    bool enabled(const char *name) { return grid.action(QString::fromLatin1(name))->isEnabled(); }
    // What the user sees when the menu opens.
    void openMenu() { emit grid.PopupMenu1()->aboutToShow(); }
};
}

TEST(TResultGridNavigation, ViewAndDetailsFollowTheRegisteredWindows)
{
    OneFileGrid g;
    g.openMenu();
    EXPECT_FALSE(g.enabled("View1"));
    EXPECT_FALSE(g.enabled("Details1"));
    EXPECT_FALSE(g.grid.canView());
    EXPECT_FALSE(g.grid.canShowDetails());

    std::vector<std::pair<char, std::string>> calls;
    QObject *from = nullptr;
    {
        Navigation::Registration view(Target::ViewFile, [&](const Navigation::Request &r) {
            calls.emplace_back('v', r.path);
            from = r.from;
            return true;
        });
        g.openMenu();
        EXPECT_TRUE(g.enabled("View1"));
        EXPECT_FALSE(g.enabled("Details1"));
        g.grid.action("View1")->trigger();
        g.grid.action("Details1")->trigger(); // disabled: nothing
        Navigation::Registration details(Target::FileDetails, [&](const Navigation::Request &r) {
            calls.emplace_back('d', r.path);
            return true;
        });
        g.openMenu();
        EXPECT_TRUE(g.enabled("Details1"));
        g.grid.Details1Click();
    }
    EXPECT_EQ(calls, (std::vector<std::pair<char, std::string>>{{'v', g.path}, {'d', g.path}}));
    EXPECT_EQ(from, g.grid.window());
    g.openMenu();
    EXPECT_FALSE(g.enabled("View1"));

    // A grid's own hook stands in for the registered window.
    g.grid.detailsHook = [](const std::string &) {};
    g.openMenu();
    EXPECT_TRUE(g.enabled("Details1"));
    EXPECT_FALSE(g.enabled("View1"));
}

TEST(TResultGridNavigation, OpenGoesThroughTheShellAndReportsAFailure)
{
    ScriptedDialogs d;
    OneFileGrid g;
    std::vector<QUrl> asked;
    bool succeed = true;
    const auto old = TShell::setOpener([&](const QUrl &u) {
        asked.push_back(u);
        return succeed;
    });
    g.grid.Run1Click();
    EXPECT_TRUE(d.boxes.empty());
    succeed = false;
    g.grid.Run1Click();
    TShell::setOpener(old);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(QByteArray::fromPercentEncoding(asked[0].toEncoded(QUrl::RemoveScheme)).toStdString(), "//" + g.path);
    ASSERT_EQ(d.boxes.size(), 1u);
    EXPECT_EQ(d.boxes[0].kind, Dialogs::Kind::Error);
    EXPECT_EQ(d.boxes[0].text, "Couldn't open " + QString::fromStdString(g.tree.root()) + "/caf\xef\xbf\xbd notes.txt");
}
