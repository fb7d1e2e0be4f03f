#include "support/FakeSoftware.h"

FakeSoftware::FakeSoftware()
{
    tree.dir("dpkg/info");
    tree.dir("share/applications");
    tree.dir("home/applications");
}

void FakeSoftware::package(const std::string &name, const std::string &lines)
{
    tree.file("dpkg/info/" + name + ".list", lines);
}

void FakeSoftware::systemEntry(const std::string &file, const std::string &content)
{
    tree.file("share/applications/" + file, content);
}

void FakeSoftware::userEntry(const std::string &file, const std::string &content)
{
    tree.file("home/applications/" + file, content);
}

RegistryView::Sources FakeSoftware::sources() const
{
    return {tree.path("dpkg/info"), {tree.path("share/applications")}, {tree.path("home/applications")}};
}
