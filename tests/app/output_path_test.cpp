#include "app/output_path.h"

#include <gtest/gtest.h>

// Renaming cuts the last extension only; without renaming the name stays
// unless the output would overwrite the source; the settings default to the
// program directory.
TEST(OutputPath, RenamingAndKeepingTheName) {
    EXPECT_EQ(MakeOutputPath("/in/song.wav", "/out", "/in", true), "/out/song.MP3");
    EXPECT_EQ(MakeOutputPath("/in/a.b.wav", "/out/", "/in", true), "/out/a.b.MP3");
    EXPECT_EQ(MakeOutputPath("/in/noext", "/out", "/in", true), "/out/noext.MP3");
    // Dots in directories are not extensions.
    EXPECT_EQ(MakeOutputPath("/in.d/noext", "/out", "/in.d", true), "/out/noext.MP3");
    EXPECT_EQ(MakeOutputPath("song.wav", "/out", "/in", true), "/out/song.MP3");

    // Renaming off, different directories: the extension stays.
    EXPECT_EQ(MakeOutputPath("/in/song.wav", "/out", "/in", false), "/out/song.wav");
    // Equal directories, in any spelling, still get ".MP3".
    EXPECT_EQ(MakeOutputPath("/in/song.wav", "/in", "/in", false), "/in/song.MP3");
    EXPECT_EQ(MakeOutputPath("/in/song.wav", "/IN/", "/in", false), "/IN/song.MP3");
    EXPECT_EQ(MakeOutputPath("/in/song.wav", "/x/../in//", "/in/.", false), "/x/../in//song.MP3");
    // A file added from the output directory itself, whatever "From Dir" says.
    EXPECT_EQ(MakeOutputPath("/out/song.wav", "/out", "/in", false), "/out/song.MP3");
    EXPECT_EQ(MakeOutputPath("/Out/song.wav", "/out/", "/in", false), "/out/song.MP3");

    EncoderSettings settings;
    settings.renameToMp3 = 0;
    // Both directories empty: both are the program directory, so ".MP3".
    EXPECT_EQ(MakeOutputPath("/music/take.wav", settings, "/prog/"), "/prog/take.MP3");
    settings.toDir = "/out";
    EXPECT_EQ(MakeOutputPath("/music/take.wav", settings, "/prog/"), "/out/take.wav");
    settings.renameToMp3 = 1;
    EXPECT_EQ(MakeOutputPath("/music/take.wav", settings, "/prog/"), "/out/take.MP3");
}

TEST(OutputPath, DirectoryTextComparison) {
    EXPECT_EQ((std::vector{SameDirectoryText("/a/b", "/A/B/"),
                           SameDirectoryText("/a//b/./", "/a/b"), SameDirectoryText("/", "//"),
                           SameDirectoryText("/a/b", "/a/bc"), SameDirectoryText("/a", "/")}),
              (std::vector{true, true, true, false, false}));
}
