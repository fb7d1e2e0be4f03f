// The main of every test program. It makes each test hermetic: offscreen
// windows, the en_US locale, UTC, and HOME, XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME pointed at a fresh temporary folder for every test case.
// After each test it undoes what the test left behind that would reach the
// next test in the same program: registered navigation targets and queued
// window handlers fail the test that left them; the long-lived windows are
// destroyed, so the next test that asks for one gets it fresh.
// Run as root, it first drops to an unprivileged user so that permission
// checks (a denied folder, a read-only folder) behave as for a real user.
#include "support/TestChild.h"
#include "support/TestEnv.h"

#include "safety/TfrmStandBy.h"
#include "common/Navigation.h"
#include "common/TLongLived.h"
#include "common/TModal.h"
#include "finders/TfrmDupCompare.h"
#include "inspect/TFindDlg.h"
#include "stats/TfrmStatistics.h"

#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::string g_root;

bool becomeNobody()
{
    return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

// Drops root when the unprivileged user can still reach this program and the
// test data (a clone under a private folder cannot); otherwise stays root and
// the tests that need real permission checks skip themselves.
void dropRoot(const char *self)
{
    if (geteuid() != 0 || std::getenv("VANTOR_TEST_KEEP_ROOT"))
        return;
    const pid_t pid = fork();
    if (pid == 0) {
        const bool ok = becomeNobody() && access(self, X_OK) == 0 && access(VANTOR_TEST_DATA, R_OK | X_OK) == 0
            && access("/tmp", W_OK | X_OK) == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return;
    if (!becomeNobody()) {
        std::perror("dropping root for the tests");
        std::exit(2);
    }
}

class FreshHome : public testing::EmptyTestEventListener {
    int n = 0;
    void OnTestStart(const testing::TestInfo &) override
    {
        const std::string home = g_root + "/t" + std::to_string(++n);
        TestEnv::setHome(home);
    }
    // Runs before the result of the test is printed, so a failure added
    // here shows under the test that left the state behind.
    void OnTestEnd(const testing::TestInfo &) override
    {
        std::string targets;
        for (size_t i = 0; i < size_t(Navigation::Target::Count); ++i) {
            if (Navigation::setHandler(Navigation::Target(i), {}))
                targets += " " + std::to_string(i);
        }
        if (!targets.empty())
            ADD_FAILURE() << "navigation targets" << targets
                          << " left registered (register them for a scope: InstalledTargets, Navigation::Registration)";
        if (const size_t left = TModal::pending()) {
            ADD_FAILURE() << left << " queued window handler(s) never ran";
            TModal::clear();
        }
        TLongLived<TfrmStandBy>::destroy();
        TLongLived<TfrmDupCompare>::destroy();
        TLongLived<TFindDlg>::destroy();
        TLongLived<TfrmStatistics>::destroy();
    }
};
}

void TestEnv::setHome(const std::string &home)
{
    ::mkdir(home.c_str(), 0700);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
}

std::string TestEnv::home()
{
    const char *h = std::getenv("HOME");
    return h ? h : "/tmp";
}

std::string TestEnv::root() { return g_root; }

bool TestEnv::privileged() { return geteuid() == 0; }

std::string TestEnv::commandOutput(const std::string &command)
{
    std::string out;
    if (FILE *p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

int main(int argc, char **argv)
{
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) < 0)
        self[0] = 0;
    dropRoot(self);
    // UTC unless VANTOR_TEST_TZ names another zone (the date tests also run
    // in one whose summer time starts at midnight).
    const char *zone = std::getenv("VANTOR_TEST_TZ");
    setenv("TZ", zone && *zone ? zone : "UTC", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    unsetenv("http_proxy");
    unsetenv("https_proxy");
    setenv("no_proxy", "*", 1);
    tzset();

    // A child a test started (TestChild): it keeps the environment the test
    // gave it and runs only its own body.
    if (argc == 3 && std::strcmp(argv[1], "--vantor-child") == 0) {
        int one = 1;
        QApplication app(one, argv);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        return TestChild::run(argv[2]);
    }

    char tmpl[] = "/tmp/vantor-test-XXXXXX";
    const char *made = mkdtemp(tmpl);
    if (!made) {
        std::perror("mkdtemp");
        return 2;
    }
    g_root = made;
    TestEnv::setHome(g_root + "/t0");
    // Offscreen windows on one screen of a desktop's size at 96 dots per
    // inch (the platform's own default is 800 by 800, smaller than any
    // desktop the windows' default sizes are made for). VANTOR_TEST_DPI
    // asks for another density, for pictures of the windows at it.
    const char *dpiText = std::getenv("VANTOR_TEST_DPI");
    const int dpi = dpiText && std::atoi(dpiText) > 0 ? std::atoi(dpiText) : 96;
    const std::string screens = g_root + "/screens.json";
    if (FILE *f = std::fopen(screens.c_str(), "w")) {
        std::fprintf(f,
                     "{\"screens\": [{\"name\": \"desktop\", \"x\": 0, \"y\": 0, \"width\": 1920, "
                     "\"height\": 1200, \"logicalDpi\": %d, \"logicalBaseDpi\": 96, \"dpr\": 1}]}\n",
                     dpi);
        std::fclose(f);
    }
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).c_str(), 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantor '95"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshHome);
    const int rc = RUN_ALL_TESTS();

    if (!std::getenv("VANTOR_TEST_KEEP_TMP")) {
        const std::string rm = "rm -rf '" + g_root + "'";
        if (std::system(rm.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", g_root.c_str());
    }
    return rc;
}
