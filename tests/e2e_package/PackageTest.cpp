// The Debian package as a user gets it: built with cpack, installed with apt, run from /usr/bin,
// removed again. It changes the machine, so it runs only as root with dpkg and apt at hand, and
// PULSOR_SKIP_PACKAGE_TEST turns it off.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e_app/E2eSupport.h"

using namespace e2e;

namespace {

bool Succeeds(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Status() {
    return Output("dpkg-query -W -f='${Status}' pulsor 2>/dev/null");
}

bool Installed() {
    return Status() == "install ok installed";
}

// Removes the package however the test ends, so a failure leaves the machine as it was; a
// package half installed or half removed is taken away too.
class InstalledPackage {
public:
    ~InstalledPackage() { Remove(); }
    bool Remove() {
        const auto present = [] {
            const std::string status = Status();
            return !status.empty() && status.find("not-installed") == std::string::npos;
        };
        if (present()) {
            Succeeds(
                "DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 remove -y "
                "pulsor");
        }
        if (present()) {
            Succeeds("dpkg --purge pulsor");
        }
        return !present();
    }
};

class Package : public testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("PULSOR_SKIP_PACKAGE_TEST")) {
            GTEST_SKIP() << "PULSOR_SKIP_PACKAGE_TEST is set";
        }
        if (geteuid() != 0) {
            GTEST_SKIP() << "installing a package needs root";
        }
        for (const char* tool : {"dpkg", "dpkg-deb", "apt-get", "cpack"}) {
            if (!Succeeds(std::string("command -v ") + tool)) {
                GTEST_SKIP() << tool << " is not available";
            }
        }
        // Suites of other build folders on this machine take turns: one package at a time.
        lock_ = open("/run/lock/pulsor-package-test.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lock_ < 0 || flock(lock_, LOCK_EX) != 0) {
            GTEST_SKIP() << "cannot take /run/lock/pulsor-package-test.lock";
        }
        if (Installed()) {
            GTEST_SKIP() << "a pulsor package is installed already; the test leaves it alone";
        }
    }
    void TearDown() override {
        if (lock_ >= 0) {
            close(lock_);
        }
    }

    int lock_ = -1;
};

}  // namespace

TEST_F(Package, InstallsRunsFromUsrBinAndRemovesCleanly) {
    PulsorRun run("package");
    const fs::path out = run.Dir() / "package";
    // The build folder's own install rules, packed into a folder of this run.
    ASSERT_TRUE(Succeeds("cpack -G DEB --config " + std::string(PULSOR_BINARY_DIR) +
                         "/CPackConfig.cmake -B " + out.string()))
        << "cpack failed";
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path();
        }
    }
    ASSERT_FALSE(deb.empty()) << "no .deb in " << out;
    EXPECT_EQ(deb.filename().string().rfind("pulsor_", 0), 0u) << deb;

    const std::string control = Output("dpkg-deb -f " + deb.string());
    EXPECT_NE(control.find("Maintainer: Harrowmint"), std::string::npos) << control;
    for (const char* library :
         {"libsdl2-2.0-0", "libpng16-16", "libfreetype6", "libfontconfig1", "libharfbuzz0b",
          "libfribidi0", "libasound2", "libjack-jackd2-0", "libx11-6", "libpulse0"}) {
        EXPECT_NE(control.find(library), std::string::npos) << library << " in\n" << control;
    }

    InstalledPackage package;
    ASSERT_TRUE(
        Succeeds("DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y " +
                 deb.string()))
        << "apt-get install failed";
    ASSERT_TRUE(Installed());

    EXPECT_TRUE(fs::is_symlink("/usr/bin/pulsor"));
    EXPECT_EQ(fs::canonical("/usr/bin/pulsor"), fs::path("/usr/lib/pulsor/pulsor"));
    EXPECT_TRUE(fs::is_directory("/usr/lib/pulsor/Skin"));
    EXPECT_TRUE(fs::is_directory("/usr/lib/pulsor/Sounds"));
    EXPECT_TRUE(fs::is_regular_file("/usr/share/man/man1/pulsor.1"));
    const std::string copyright = PulsorRun::ReadText("/usr/share/doc/pulsor/copyright");
    EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/"
                              "copyright-format/1.0/\n",
                              0),
              0u)
        << copyright;
    EXPECT_NE(copyright.find("\nLicense: MIT\n"), std::string::npos) << copyright;
    for (const char* size : {"16x16", "32x32", "64x64"}) {
        EXPECT_TRUE(fs::is_regular_file(std::string("/usr/share/icons/hicolor/") + size +
                                        "/apps/pulsor.png"))
            << size;
    }
    const std::string desktop = PulsorRun::ReadText("/usr/share/applications/pulsor.desktop");
    EXPECT_NE(desktop.find("\nExec=pulsor\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nIcon=pulsor\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nCategories=AudioVideo;Audio;\n"), std::string::npos) << desktop;
    const char kMetainfo[] = "/usr/share/metainfo/example.harrowmint.pulsor.metainfo.xml";
    ASSERT_TRUE(fs::is_regular_file(kMetainfo));
    const std::string metainfo = PulsorRun::ReadText(kMetainfo);
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">pulsor.desktop</launchable>"),
              std::string::npos)
        << metainfo;
    if (Succeeds("command -v appstreamcli")) {
        // Offline: the screenshots' addresses are checked for form, not fetched.
        EXPECT_TRUE(Succeeds(std::string("appstreamcli validate --no-net ") + kMetainfo))
            << Output(std::string("appstreamcli validate --no-net ") + kMetainfo + " 2>&1");
    }
    if (Succeeds("command -v man")) {
        EXPECT_TRUE(Succeeds("man -w pulsor")) << "man does not find the page";
    }

    // The installed program, run through the link, finds its pictures and words beside itself:
    // the main page as the build folder's program draws it, and a tapped cell speaks.
    const fs::path script = run.Dir() / "script.txt";
    std::ofstream(script) << "wait 2100\nshot main.png\ntap 34 85\nwait 1000\n";
    const std::string options = " --headless --screen 240x320 --dpi 96 --script " +
                                script.string() + " --shots " + (run.Dir() / "shots").string() +
                                " --config-dir " + (run.Dir() / "config").string();
    ASSERT_TRUE(Succeeds("/usr/bin/pulsor" + options + " --record " + run.Recording().string()))
        << "the installed program failed";
    Picture expected;
    ASSERT_TRUE(ReadPng(
        std::string(PULSOR_SOURCE_DIR) + "/tests/e2e_app/golden/240x320_96_main.png", &expected));
    EXPECT_TRUE(run.Load("main.png") == expected) << "the installed program's main page differs";
    const Sound sound = ReadWav(run.Recording().string());
    ASSERT_EQ(sound.rate, 48000);
    EXPECT_GT(Rms(sound.samples, 2100 * 48, 48000), 0.01) << "the tapped cell is silent";

    ASSERT_TRUE(package.Remove()) << "apt-get remove failed";
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(fs::exists("/usr/lib/pulsor")) << "something of the package is left";
    EXPECT_FALSE(fs::exists(fs::symlink_status("/usr/bin/pulsor")));
    EXPECT_FALSE(fs::exists("/usr/share/applications/pulsor.desktop"));
    EXPECT_FALSE(fs::exists(kMetainfo));
    EXPECT_FALSE(fs::exists("/usr/share/icons/hicolor/64x64/apps/pulsor.png"));
    EXPECT_FALSE(fs::exists("/usr/share/doc/pulsor"));
}
