// Which damaged archives are rewritten (only what a run of this program left
// unfinished, by its record), what a repair reports, and archives with bytes
// before their first item.
#include "settings/AppState.h"
#include "common/Text.h"
#include "safety/ZipArchive.h"
#include "safety/ZipExtract.h"
#include "safety/ZipRun.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"
#include "ZipTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include <sys/wait.h>
#include <unistd.h>

namespace {
std::string cmd(const std::string &c) { return TestEnv::commandOutput(c + " 2>&1"); }
// Standard output only (unzip warns of bytes before an archive on standard error).
std::string out(const std::string &c) { return TestEnv::commandOutput(c + " 2>/dev/null"); }

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string contentOf(const ZipArchive &z, size_t i)
{
    std::string data;
    z.readEntry(i, [&](const char *p, size_t n) { data.append(p, n); });
    return data;
}

// The archive folder redirected to a temporary one.
class ZipArchiveRepair : public testing::Test {
protected:
    ScriptedDialogs dialogs;
    TempTree t{"repair"};
    std::string archives = t.dir("archives");
    void SetUp() override { AppState::defaultZipPath = QString::fromStdString(archives); }
    void TearDown() override { AppState::defaultZipPath.clear(); }

    // Neither the sweep of the archive folder, nor repairInterrupted, nor
    // opening to add may change a byte of path.
    void expectLeftAlone(const std::string &path, const std::string &what)
    {
        const std::string before = TempTree::read(path);
        bool reported = false;
        for (const ZipRepair &r : ZipRun::repairArchiveFolder())
            reported = reported || (r.path == path && r.outcome == ZipRepair::Outcome::LeftDamaged);
        EXPECT_TRUE(reported) << what;
        EXPECT_FALSE(ZipArchive::repairInterrupted(path).repaired()) << what;
        ZipArchive w;
        EXPECT_THROW(w.open(path), ZipError) << what;
        EXPECT_TRUE(TempTree::read(path) == before) << what << ": " << before.size() << " -> "
                                                    << TempTree::read(path).size() << " bytes";
    }
};
}

TEST_F(ZipArchiveRepair, AnArchiveCutInsideAnItemWithoutARecordIsReportedNeverRewritten)
{
    // A finished archive of 50 files, cut inside its 31st item afterwards
    // (no run was at work on it).
    const std::string path = archives + "/Drive-C-Trunc02Feb260202.zip";
    uint64_t cut = 0;
    {
        ZipArchive z;
        z.open(path);
        for (int i = 0; i < 50; ++i)
            z.addFile(t.file("src/f" + std::to_string(i), randomBytes(100 + i, unsigned(i))), "f" + std::to_string(i));
        cut = z.entries()[30].localOffset + 90; // inside its data

    }
    EXPECT_FALSE(TempTree::exists(ZipArchive::unfinishedRecordPath(path)));
    writeFile(path, TempTree::read(path).substr(0, cut));
    expectLeftAlone(path, "cut");
    ZipRun::repairAndReport();
    EXPECT_TRUE(dialogs.boxes.empty()); // left alone: said when it is opened

    // The restore says it was not whole, and which item was lost.
    ZipArchive r;
    r.openRead(path);
    ASSERT_EQ(r.entries().size(), 30u);
    const ZipExtract::Result x = ZipExtract::extractAll(r, t.dir("out"), {});
    EXPECT_EQ(x.extracted, 30u);
    const QString message = ZipExtract::closingMessage(x);
    EXPECT_TRUE(message.startsWith("30 of 30 files were unzipped, but the archive was not whole")) << message.toStdString();
    EXPECT_TRUE(message.contains("f30")) << message.toStdString();
}

TEST_F(ZipArchiveRepair, EntriesWithExtraFieldsWeNeverWriteAreNeverCutShortWithOrWithoutARecord)
{
    // Our archive without its directory, one byte of its first item's
    // extra-field id changed: every item still passes its CRC.
    const std::string own = archives + "/Drive-C-Extra01Mar270905.zip";
    {
        ZipArchive z;
        z.open(own);
        z.setDirectoryInterval(-1);
        for (int i = 0; i < 3; ++i)
            z.addFile(t.file("src/e" + std::to_string(i), std::string(300, char('k' + i))), "e" + std::to_string(i));
        z.writeDirectory();
    }
    std::string bytes = TempTree::read(own);
    bytes.resize(bytes.find("PK\x01\x02"));
    const size_t id = 30 + 2; // the extended time stamp field after the name "e0"
    ASSERT_EQ(bytes.substr(id, 2), std::string("UT"));
    bytes[id] = 'V';
    writeFile(own, bytes);

    // An archive Info-ZIP made, cut before its directory.
    t.file("iz/a.txt", std::string(500, 'a'));
    t.file("iz/b.txt", "bee");
    const std::string made = t.path("iz.zip");
    ASSERT_EQ(cmd("cd '" + t.path("iz") + "' && zip -q '" + made + "' a.txt b.txt"), "");
    std::string iz = TempTree::read(made);
    const std::string info = archives + "/Drive-C-InfoZip01Mar270905.zip";
    writeFile(info, iz.substr(0, iz.find("PK\x01\x02")));

    for (const std::string &path : {own, info}) {
        expectLeftAlone(path, path + " without a record");
        ASSERT_TRUE(ZipArchive::recordUnfinished(path));
        expectLeftAlone(path, path + " with a record");
        ZipArchive r;
        r.openRead(path);
        EXPECT_EQ(r.entries().size(), path == own ? 3u : 2u) << path;
        for (size_t i = 0; i < r.entries().size(); ++i)
            EXPECT_NO_THROW(contentOf(r, i)) << path << " " << i;
    }
}

TEST_F(ZipArchiveRepair, AKilledRunIsRepairedOnceAndItsRestoreSaysWhichFileWasLeftOut)
{
    const std::string path = archives + "/Drive-C-Killed01Mar270905.zip";
    const std::string a = t.file("src/a.txt", std::string(2000, 'a'));
    const std::string b = t.file("src/b.txt", std::string(3000, 'b'));
    const std::string c = t.file("src/big/c.bin", std::string(5 << 20, 'c')); // streamed
    const pid_t pid = fork();
    if (pid == 0) {
        // Killed once the third file's data is written, before its header is.
        ZipArchive z;
        z.open(path);
        z.addFile(a, "a.txt");
        z.addFile(b, "b.txt");
        z.afterRead = [] { _exit(0); };
        z.addFile(c, "big/c.bin");
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(TempTree::exists(ZipArchive::unfinishedRecordPath(path)));
    ASSERT_NE(cmd("unzip -tqq '" + path + "' >/dev/null; echo $?"), "0\n");

    ZipRun::repairAndReport();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind, Dialogs::Kind::Info);
    const QString said = dialogs.boxes[0].text;
    EXPECT_TRUE(said.contains(QString::fromStdString(path))) << said.toStdString();
    EXPECT_TRUE(said.contains("holds 2 files")) << said.toStdString();
    EXPECT_TRUE(said.contains("The file big/c.bin was being zipped")) << said.toStdString();
    EXPECT_TRUE(said.contains("its original was not deleted")) << said.toStdString();
    EXPECT_EQ(cmd("unzip -tqq '" + path + "' >/dev/null; echo $?"), "0\n");
    EXPECT_FALSE(TempTree::exists(ZipArchive::unfinishedRecordPath(path)));
    // Once: the next start finds it whole.
    ZipRun::repairAndReport();
    EXPECT_EQ(dialogs.boxes.size(), 1u);

    // Its restore is not plain success: it says what the repair left out.
    ZipArchive r;
    r.openRead(path);
    const ZipExtract::Result x = ZipExtract::extractAll(r, t.dir("out"), {});
    EXPECT_EQ(x.extracted, 2u);
    const QString message = ZipExtract::closingMessage(x);
    EXPECT_TRUE(message.startsWith("2 of 2 files were unzipped from an archive that was repaired.")) << message.toStdString();
    EXPECT_TRUE(message.contains("big/c.bin")) << message.toStdString();

    // A note whose archive is gone goes with the next sweep.
    ASSERT_TRUE(TempTree::exists(ZipArchive::repairNotePath(path)));
    r.close();
    std::remove(path.c_str());
    ZipRun::repairArchiveFolder();
    EXPECT_FALSE(TempTree::exists(ZipArchive::repairNotePath(path)));
}

TEST_F(ZipArchiveRepair, BytesBeforeTheFirstItemAreReadAsUnzipReadsThemAndTheFileIsNeverWritten)
{
    t.file("in/a.txt", std::string(4000, 'a') + "end");
    t.file("in/sub/b.bin", randomBytes(3000, 7));
    const std::string plain = t.path("plain.zip");
    ASSERT_EQ(cmd("cd '" + t.path("in") + "' && zip -qr '" + plain + "' a.txt sub"), "");
    // Our own zip64 records too (the zip64 end record moves with the prefix).
    const std::string z64 = t.path("z64.zip");
    {
        ZipArchive z;
        z.open(z64);
        z.setZip64Limit(1024);
        z.addFile(t.path("in/a.txt"), "a.txt");
        z.addFile(t.path("in/sub/b.bin"), "sub/b.bin");
    }
    const std::string stub = randomBytes(1000, 9);
    struct Case {
        std::string name, prefix, archive;
    };
    const std::vector<Case> cases = {{"sfx", stub, plain}, {"padded1", "\n", plain}, {"padded3", std::string(3, '\0'), plain},
                                     {"sfx64", stub, z64}};
    for (const Case &k : cases) {
        const std::string path = archives + "/Drive-C-" + k.name + "01Mar270905.zip";
        writeFile(path, k.prefix + TempTree::read(k.archive));
        const std::string before = TempTree::read(path);
        const size_t prefix = before.size() - TempTree::read(k.archive).size();
        // unzip lists the same items, warning of the bytes before them.
        const std::string listed = out("unzip -Z1 '" + path + "' | LC_ALL=C sort");
        ZipArchive r;
        ASSERT_NO_THROW(r.openRead(path)) << k.name;
        std::string ours;
        std::vector<std::string> sorted;
        for (const ZipEntry &e : r.entries())
            sorted.push_back(e.name);
        std::sort(sorted.begin(), sorted.end());
        for (const std::string &n : sorted)
            ours += n + "\n";
        EXPECT_EQ(ours, listed) << k.name;
        EXPECT_NE(r.remark().find(formatThousands(int64_t(prefix)).toStdString() + " bytes before its first item"), std::string::npos)
            << k.name << ": " << r.remark();
        for (size_t i = 0; i < r.entries().size(); ++i)
            EXPECT_TRUE(contentOf(r, i) == out("unzip -p '" + path + "' '" + r.entries()[i].name + "'"))
                << k.name << " " << r.entries()[i].name;
        const ZipExtract::Result x = ZipExtract::extractAll(r, t.dir("out-" + k.name), {});
        EXPECT_EQ(x.extracted, 2u) << k.name;
        const QString message = ZipExtract::closingMessage(x);
        EXPECT_TRUE(message.startsWith("Files were unzipped\n\nThe archive has ")) << message.toStdString();
        EXPECT_EQ(TempTree::read(t.path("out-" + k.name + "/a.txt")), std::string(4000, 'a') + "end");

        // Never written: not opened to add, not repaired, even with a record.
        ZipArchive w;
        EXPECT_THROW(w.open(path), ZipError) << k.name;
        ASSERT_TRUE(ZipArchive::recordUnfinished(path));
        EXPECT_FALSE(ZipArchive::repairInterrupted(path).repaired()) << k.name;
        EXPECT_THROW(w.open(path), ZipError) << k.name;
        EXPECT_TRUE(TempTree::read(path) == before) << k.name;
    }
}
