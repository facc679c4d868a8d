#include "net/unc.h"
#include "net/unc_tables.h"
#include "net_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// This machine is "box": it exports /srv/music as MUSIC and /srv as ALL, has
// a user share, and mounts //NAS/Media on /mnt/nas with a local disk inside.
class Unc : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString root = dir.path();
        QDir(root).mkdir("usershares");
        ASSERT_TRUE(
            nettest::WriteText(root + "/usershares/tapes",
                               "#VERSION 2\npath=/data/tapes\ncomment=\nusershare_acl=S-1-1-0:F,\n"
                               "guest_ok=n\nsharename=Tapes\n"));
        nettest::UseUncFiles(
            root,
            "[global]\n   workgroup = WORKGROUP\n   path = /\n"
            "[homes]\n   browseable = no\n"
            "[printers]\n   path = /var/spool/samba\n   printable = yes\n"
            "; a comment\n[music]\n   path = /srv/music/\n   read only = no\n"
            "[all]\n\tpath=/srv\n"
            "[mus]\n   path = /srv/mus\n"
            "[gone]\n   path = /srv/gone\n   available = no\n",
            "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
            "40 22 0:40 / /mnt/nas rw,relatime shared:20 - cifs //nas/Media rw,vers=3.1.1\n"
            "41 40 8:17 / /mnt/nas/local rw shared:21 - ext4 /dev/sdb1 rw\n"
            "42 22 0:41 / /mnt/my\\040share rw - smb3 //files/Public/sub/dir rw\n"
            "43 22 0:42 / /mnt/other rw - nfs server:/export rw\n",
            "box");
    }
    void TearDown() override { SetUncTables(UncTables()); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(Unc, PathsMapBothWaysThroughOwnSharesAndMounts) {
    const char* const toNetwork[][2] = {
        // The file on the share of its folder; the longest covering share wins,
        // and a share that is a mere name prefix does not match.
        {"/srv/music/a.wav", "\\\\BOX\\MUSIC\\a.wav"},
        {"/srv/musicals/b.wav", "\\\\BOX\\ALL\\musicals\\b.wav"},
        {"/srv/mus/c.wav", "\\\\BOX\\MUS\\c.wav"},
        {"/data/tapes/x/y.MP3", "\\\\BOX\\TAPES\\x\\y.MP3"},
        {"/srv/music", "\\\\BOX\\MUSIC"},
        {"/srv/gone/a.wav", "\\\\BOX\\ALL\\gone\\a.wav"},
        // On an SMB mount: the mount's own network name.
        {"/mnt/nas/pop/a.wav", "\\\\nas\\Media\\pop\\a.wav"},
        {"/mnt/my share/x.wav", "\\\\files\\Public\\sub\\dir\\x.wav"},
        // Already a network path, not shared, or on a local disk mounted
        // inside the SMB mount: as it is.
        {"\\\\else\\s\\a.wav", "\\\\else\\s\\a.wav"},
        {"/home/u/a.wav", "/home/u/a.wav"},
        {"/mnt/nas/local/a.wav", "/mnt/nas/local/a.wav"},
        {"/var/spool/samba/p", "/var/spool/samba/p"},
    };
    for (const auto& [local, unc] : toNetwork) {
        EXPECT_EQ(getuncfilename(local), QString::fromLatin1(unc)) << local;
    }
    // A path too long for the network form stays local rather than being cut.
    const QString deep = "/srv/music/" + QString(250, u'd') + "/a.wav";
    EXPECT_EQ(getuncfilename(deep), deep);

    const char* const toLocal[][2] = {
        {"\\\\NAS\\MEDIA\\pop\\a.wav", "/mnt/nas/pop/a.wav"},
        {"\\\\files\\public\\SUB\\dir\\x.MP3", "/mnt/my share/x.MP3"},
        {"\\\\BOX\\music\\a.wav", "/srv/music/a.wav"},
        {"\\\\box\\tapes", "/data/tapes"},
        {"\\\\NAS\\Media\\a..b.wav", "/mnt/nas/a..b.wav"},
        // Unknown hosts and shares, another machine's share name, local paths.
        {"\\\\other\\music\\a.wav", ""},
        {"\\\\NAS\\Other\\a.wav", ""},
        {"\\\\files\\Public\\a.wav", ""}, // outside sub\dir
        {"/srv/music/a.wav", ""},
        // Escapes from the share.
        {"\\\\NAS\\Media\\..\\..\\etc\\passwd", ""},
        {"\\\\NAS\\Media\\pop\\..\\a.wav", ""},
        {"\\\\NAS\\Media\\pop/../../x", ""},
        {"\\\\BOX\\music\\.\\a.wav", ""},
        {"\\\\BOX\\..\\a.wav", ""},
        {"\\\\\\\\a.wav", ""},
    };
    for (const auto& [unc, local] : toLocal) {
        EXPECT_EQ(getlocalfilename(unc), QString::fromUtf8(local)) << unc;
    }
    // Round trip: what this machine hands out, it finds again.
    EXPECT_EQ(getlocalfilename(getuncfilename("/srv/music/x/b.wav")),
              QStringLiteral("/srv/music/x/b.wav"));

    // A relative path to a file not yet there resolves without making it.
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(
        nettest::WriteText(dir.path() + "/smb.conf",
                           "[Work]\npath = " + QDir::current().canonicalPath().toUtf8() + "\n"));
    SetUncTables(CurrentUncTables());
    EXPECT_EQ(getuncfilename("out/never.MP3"), QStringLiteral("\\\\BOX\\WORK\\out\\never.MP3"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/out/never.MP3"));
    QDir::setCurrent(old);
}

// The mounts people have: a kernel mount of a host whose name is longer than
// a computer name, one by address, the desktop's (gvfs) and a FUSE SMB
// client's tree (smbnetfs); each maps the server's paths, refuses escapes and
// says why a path does not map.
TEST_F(Unc, ServerPathsMapThroughEveryKindOfMount) {
    const QString root = dir.path();
    const QString gvfs = root + "/gvfs";
    const QString smbnet = root + "/smbnet";
    for (const QString& folder :
         {gvfs + "/smb-share:domain=WG,server=farm1,share=my%20music,user=bob",
          gvfs + "/smb-share:server=farm3,share=desk", smbnet + "/192.168.1.10/Encode",
          smbnet + "/farm2/tapes"}) {
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    ASSERT_TRUE(nettest::WriteText(
        root + "/mountinfo", "40 22 0:40 / /mnt/long rw - cifs //encoding-server-01.lan/Music rw\n"
                             "41 22 0:41 / /mnt/byaddr rw - smb3 //192.168.1.10/work rw\n"
                             "42 22 0:42 / /mnt/else rw - cifs //10.9.9.9/other rw\n"
                             "43 22 0:43 / " +
                                 gvfs.toUtf8() +
                                 " rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
                                 "44 22 0:44 / " +
                                 smbnet.toUtf8() + " rw - fuse.smbnetfs smbnetfs rw\n"));
    const QString server = "192.168.1.10";
    struct Case {
        const char* unc;
        QString local; // empty: not mapped
        UncProblem problem;
    };
    const Case cases[] = {
        {"\\\\ENCODING-SERVER\\MUSIC\\a.wav", "/mnt/long/a.wav", UncProblem::None},
        {"\\\\FARM1\\WORK\\in\\b.wav", "/mnt/byaddr/in/b.wav", UncProblem::None},
        {"\\\\FARM1\\my music\\c.wav",
         gvfs + "/smb-share:domain=WG,server=farm1,share=my%20music,user=bob/c.wav",
         UncProblem::None},
        {"\\\\FARM1\\encode\\d.wav", smbnet + "/192.168.1.10/Encode/d.wav", UncProblem::None},
        {"\\\\FARM2\\TAPES\\e.wav", smbnet + "/farm2/tapes/e.wav", UncProblem::None},
        {"\\\\ENCODING-SERVER\\MUSIC\\..\\x", "", UncProblem::Escapes},
        {"\\\\FARM1\\WORK\\in\\..\\..\\x", "", UncProblem::Escapes},
        {"\\\\FARM1\\my music\\.\\x", "", UncProblem::Escapes},
        {"\\\\FARM1\\..\\192.168.1.10\\Encode\\x", "", UncProblem::Escapes},
        {"\\\\..\\smbnet\\farm2\\tapes\\x", "", UncProblem::Escapes},
        {"\\\\FARM1\\OTHER\\f.wav", "", UncProblem::NameMismatch},
        {"\\\\FARM1\\DESK\\g.wav", "", UncProblem::NameMismatch},
        {"\\\\FARM1\\NOPE\\h.wav", "", UncProblem::NoMount},
    };
    for (const Case& c : cases) {
        const UncMapping mapping = MapUncPath(QString::fromLatin1(c.unc), server);
        EXPECT_EQ(mapping.localPath, c.local) << c.unc;
        EXPECT_EQ(int(mapping.problem), int(c.problem)) << c.unc;
    }
    // Mounted by address, the share is the server's only for a client that
    // knows that address; it is told where the share was found instead.
    const UncMapping unknown = MapUncPath("\\\\FARM1\\WORK\\b.wav");
    EXPECT_EQ(unknown.problem, UncProblem::NameMismatch);
    EXPECT_TRUE(DescribeUncProblem("\\\\FARM1\\WORK\\b.wav", unknown, QString())
                    .contains("mounted here from 192.168.1.10, which is not the server FARM1"));
    // And back: this machine's files on those mounts have their network names.
    EXPECT_EQ(getuncfilename(gvfs + "/smb-share:server=farm3,share=desk/x/y.wav"),
              QStringLiteral("\\\\farm3\\desk\\x\\y.wav"));
    EXPECT_EQ(getuncfilename(smbnet + "/farm2/tapes/z.wav"),
              QStringLiteral("\\\\farm2\\tapes\\z.wav"));
}
