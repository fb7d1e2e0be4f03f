#include "platform/Drives.h"
#include "platform/Paths.h"

#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace {
// A desktop with a system disk, a home partition, a USB stick, a DVD, a NAS
// share, an sshfs mount, a RAM disk and the usual pseudo file systems.
const char *kMountInfo =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "22 26 0:21 / /sys rw,relatime shared:2 - sysfs sysfs rw\n"
    "23 26 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw,size=123k\n"
    "24 23 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
    "26 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "27 26 8:2 / /home rw,relatime shared:3 - ext4 /dev/sda2 rw\n"
    "28 26 0:30 / /run rw - tmpfs tmpfs rw\n"
    "29 28 8:17 / /run/media/ann/KINGSTON rw - vfat /dev/sdb1 rw\n"
    "30 28 11:0 / /run/media/ann/Holiday\\040DVD ro - iso9660 /dev/sr0 ro\n"
    "31 26 0:40 / /mnt/nas rw - cifs //nas/Photos rw\n"
    "32 26 0:41 / /mnt/box rw - fuse.sshfs ann@box:/srv/data rw\n"
    "33 26 0:42 / /mnt/ram rw - tmpfs tmpfs rw\n"
    "34 26 0:43 / /tmp rw - tmpfs tmpfs rw\n"
    "35 26 8:2 /ann/shared /srv/shared rw - ext4 /dev/sda2 rw\n"
    "36 26 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
    "37 26 0:44 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
    "38 26 8:3 / /boot/efi rw - vfat /dev/sda3 rw\n"
    "garbage line\n";

MountProbe probe()
{
    MountProbe p;
    p.removable = [](const MountEntry &m) { return m.major == 8 && m.minor == 17; };
    p.label = [](const std::string &mp) -> QString {
        if (mp == "/")
            return "System";
        if (mp == "/run/media/ann/Holiday DVD")
            return "Holiday";
        return {};
    };
    p.isFolder = [](const std::string &) { return true; };
    return p;
}
}

TEST(Drives, MountTableGivesLettersTypesAndEntryTexts)
{
    const auto mounts = Drives::parseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 17u);
    const auto drives = Drives::fromMounts(mounts, probe());
    QStringList upper, lower;
    for (const Drive &d : drives) {
        upper << Drives::entryText(d, true);
        lower << Drives::entryText(d, false);
    }
    // C: is "/", then real file systems in the order of their mount points;
    // pseudo file systems, /tmp's tmpfs, snaps, overlays and the bind mount of
    // a part of /home are not drives.
    EXPECT_EQ(upper, QStringList({"C: [SYSTEM]", "D: [/boot/efi]", "E: [/home]", "F: \\\\ANN@BOX\\SRV\\DATA",
                                  "G: \\\\NAS\\PHOTOS", "H: [/mnt/ram]", "I: [HOLIDAY]", "J:"}));
    EXPECT_EQ(lower[0], "c: [system]");
    EXPECT_EQ(lower[2], "e: [/home]"); // a mount point keeps its case
    EXPECT_EQ(lower[3], "f: \\\\ann@box\\srv\\data");
    EXPECT_EQ(lower[7], "j:");
    ASSERT_EQ(drives.size(), 8u);
    EXPECT_EQ(drives[0].type, DriveType::Fixed);
    EXPECT_EQ(drives[3].type, DriveType::Network);
    EXPECT_EQ(drives[4].type, DriveType::Network);
    EXPECT_EQ(drives[5].type, DriveType::RamDisk);
    EXPECT_EQ(drives[6].type, DriveType::CdRom);
    EXPECT_EQ(drives[6].root, "/run/media/ann/Holiday DVD");
    EXPECT_EQ(drives[7].type, DriveType::Removable);
}

TEST(Drives, TypesAndNetworkPaths)
{
    EXPECT_EQ(Drives::typeOf("ext4", "/media/usb", false), DriveType::Removable);
    EXPECT_EQ(Drives::typeOf("ext4", "/data", true), DriveType::Removable);
    EXPECT_EQ(Drives::typeOf("ext4", "/mediastore", false), DriveType::Fixed);
    EXPECT_EQ(Drives::typeOf("nfs4", "/media/x", true), DriveType::Network);
    EXPECT_EQ(Drives::typeOf("udf", "/mnt/bd", false), DriveType::CdRom);
    EXPECT_EQ(Drives::networkPathOf("//server/share"), "\\\\server\\share");
    EXPECT_EQ(Drives::networkPathOf("fileserver:/export/home/"), "\\\\fileserver\\export\\home");
    EXPECT_EQ(Drives::networkPathOf("/dev/sda1"), "");
    EXPECT_EQ(Drives::networkPathOf("tmpfs"), "");

    // A network mount whose source has no host form shows its brackets.
    const auto drives = Drives::fromMounts(
        Drives::parseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n2 1 0:50 / /net rw - 9p hostshare rw\n"),
        probe());
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(Drives::entryText(drives[1]), "D: [/net]");
}

TEST(Drives, MappingAndDrivesIniReplaceTheSystemList)
{
    TempTree t("drives");
    const std::string a = t.dir("a"), b = t.dir("b");
    {
        const std::string folder = TestEnv::home() + "/.config/vantor";
        ASSERT_TRUE(Paths::makeFolders(folder));
        std::ofstream ini(folder + "/drives.ini");
        ini << "[Other]\nC=/nowhere\n[drives]\nc = " << a << "/\nq=" << b << "\nQ=/ignored\nAB=/x\n";
    }
    auto list = Drives::list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].letter, 'C');
    EXPECT_EQ(list[0].root, a);
    EXPECT_EQ(list[1].letter, 'Q');
    EXPECT_EQ(list[1].root, b);
    EXPECT_EQ(Drives::entryText(list[1]), "Q: [" + QString::fromStdString(b) + "]");

    // The in-process mapping wins over drives.ini; longest root decides a path's drive.
    t.dir("a/inner");
    Drives::setMapping({{'d', a}, {'E', a + "/inner"}, {'G', TestEnv::home() + "/gone"}});
    EXPECT_FALSE(Drives::find('C'));
    ASSERT_TRUE(Drives::find('d'));
    EXPECT_EQ(Drives::driveOfPath(a + "/inner/x")->letter, 'E');
    EXPECT_EQ(Drives::driveOfPath(a + "/innerx")->letter, 'D');
    EXPECT_FALSE(Drives::driveOfPath(b));
    ASSERT_EQ(::chdir(a.c_str()), 0);
    EXPECT_EQ(Drives::currentDrive()->letter, 'D');
    ASSERT_EQ(::chdir("/"), 0);

    // A mapped folder that does not exist has no root: it is no drive.
    EXPECT_FALSE(Drives::find('G'));
    Drives::setMapping({});
    {
        const std::string folder = TestEnv::home() + "/.config/vantor";
        std::ofstream ini(folder + "/drives.ini");
        ini << "[Drives]\nC=" << a << "\nD=" << TestEnv::home() << "/gone\nE=" << t.file("file") << "\nF=" << b
            << "\n";
    }
    list = Drives::list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].root, a);
    EXPECT_EQ(list[1].letter, 'F');

    // A drive that is not ready: its root cannot be queried.
    Drive gone;
    gone.letter = 'E';
    gone.root = a + "/missing";
    Drive ready;
    ready.letter = 'D';
    ready.root = a;
    Drives::setDrives({ready, gone});
    EXPECT_TRUE(Drives::isDriveReady('d'));
    EXPECT_FALSE(Drives::isDriveReady('E'));
    EXPECT_FALSE(Drives::isDriveReady('F'));
    double freeBytes = -1, total = -1;
    EXPECT_TRUE(Drives::driveSpace(a, freeBytes, total));
    EXPECT_GT(total, 0);
    EXPECT_LE(freeBytes, total);
    EXPECT_FALSE(Drives::driveSpace(a + "/missing", freeBytes, total));
    EXPECT_GT(Drives::clusterSize(a), 0);
    EXPECT_EQ(Drives::clusterSize(a + "/missing"), 0);
    Drives::setDrives({});
}

TEST(Drives, UserFuseFileSystemsAreDrivesAndSystemOnesAreNot)
{
    const std::string home = TestEnv::home();
    const std::string text = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                             "2 1 0:50 / /mnt/cloud rw - fuse.rclone gdrive: rw\n"
                             "3 1 8:33 / /media/ann/WinDisk rw - fuseblk /dev/sdc1 rw\n"
                             "4 1 0:51 / /srv/pool rw - fuse.mergerfs a:b rw\n"
                             "5 1 0:52 / " + home + "/bucket rw - fuse.s3fs s3fs rw\n"
                             "6 1 0:53 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
                             "7 1 0:54 / /run/user/1000/doc rw - fuse.portal portal rw\n"
                             "8 1 0:55 / /var/lib/lxcfs rw - fuse.lxcfs lxcfs rw\n"
                             "9 1 0:56 / /opt/app rw - fuse.appimage app rw\n"
                             "10 1 0:57 / " + home + "/snapfuse rw - fuse.snapfuse snapfuse rw\n"
                             "11 1 0:58 / /run/media/ann/box rw - fuse.sshfs ann@box:/ rw\n"
                             "12 1 8:49 / /data rw - fuseblk /dev/sdd1 rw\n";
    MountProbe p = probe();
    p.removable = [](const MountEntry &m) { return m.major == 8 && m.minor == 33; };
    const auto drives = Drives::fromMounts(Drives::parseMountInfo(text), p);
    std::vector<std::string> roots;
    for (const Drive &d : drives)
        roots.push_back(d.root);
    // (the test's home folder lies under /tmp)
    EXPECT_EQ(roots, (std::vector<std::string>{"/", "/data", "/media/ann/WinDisk", "/mnt/cloud", "/run/media/ann/box",
                                               "/srv/pool", home + "/bucket"}));
    ASSERT_EQ(drives.size(), 7u);
    EXPECT_EQ(drives[1].type, DriveType::Fixed);     // fuseblk on a fixed disk
    EXPECT_EQ(drives[2].type, DriveType::Removable); // fuseblk on a removable disk
    EXPECT_EQ(drives[3].type, DriveType::Fixed);     // rclone
    EXPECT_EQ(drives[4].type, DriveType::Network);   // sshfs
    EXPECT_EQ(drives[5].type, DriveType::Fixed);     // mergerfs
    EXPECT_EQ(drives[6].type, DriveType::Fixed);     // s3fs
}

TEST(Drives, SystemListStartsWithTheRootAsC)
{
    Drives::setMapping({});
    const auto list = Drives::list();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].letter, 'C');
    EXPECT_EQ(list[0].root, "/");
    EXPECT_TRUE(Drives::isDriveReady('c'));
    EXPECT_TRUE(Drives::isDriveReady('#')); // not a letter: C
    for (const Drive &d : list)
        EXPECT_FALSE(d.root.starts_with("/proc") || d.root.starts_with("/sys")) << d.root;
}
