#include "support/AtomicFile.h"
#include "support/MappedFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace support;

using testutil::TempDir;
using testutil::WriteBytes;

TEST(AtomicFile, ReplacesOnlyOnCommit) {
    TempDir dir;
    fs::path target = dir.path / "lake.gpx";
    WriteBytes(target, "old");
    {
        AtomicFileWriter w(target.string());
        w.Write("new text");
        EXPECT_EQ(ReadWholeFile(target.string()), "old");
        // destroyed without Commit: the write is abandoned
    }
    EXPECT_EQ(ReadWholeFile(target.string()), "old");
    EXPECT_EQ(dir.Entries(), 1u);

    AtomicFileWriter w(target.string());
    w.Write(std::string(3 << 20, 'x')); // more than one flush
    w.Commit();
    EXPECT_EQ(fs::file_size(target), 3u << 20);
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(AtomicFile, UnwritableFolderIsAnErrorAndLeavesTheOldFile) {
    TempDir dir;
    fs::path target = dir.path / "lake.gpx";
    WriteBytes(target, "old");
    {
        testutil::UnwritableFolder readOnly(dir.path);
        if (!readOnly.Binds())
            GTEST_SKIP() << "permissions do not bind here";
        EXPECT_THROW(AtomicFileWriter(target.string()), FileError);
    }
    EXPECT_EQ(ReadWholeFile(target.string()), "old");
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(AtomicFile, FullDiskAfterAFlushDiscardsWhatWasWritten) {
    TempDir dir;
    fs::path target = dir.path / "lake.gpx";
    WriteBytes(target, "old");
    {
        testutil::FileSizeLimit fullDisk(3 << 19); // room for the first flush, not the second
        AtomicFileWriter w(target.string());
        w.Write(std::string(1 << 20, 'x'));
        EXPECT_EQ(dir.Entries(), 2u); // the temporary file holds the first megabyte
        EXPECT_THROW(w.Write(std::string(1 << 20, 'y')), FileError);
        EXPECT_THROW(w.Commit(), FileError); // closed by the failure
    }
    EXPECT_EQ(ReadWholeFile(target.string()), "old");
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(AtomicFile, FolderOrMissingFolderIsAnError) {
    TempDir dir;
    EXPECT_THROW(AtomicFileWriter(dir.path.string()), FileError);
    EXPECT_THROW(AtomicFileWriter((dir.path / "no" / "such.gpx").string()), FileError);
    EXPECT_EQ(dir.Entries(), 0u);
}

TEST(MappedFile, ReadsFilesAndRefusesFolders) {
    TempDir dir;
    fs::path p = dir.path / "a.txt";
    WriteBytes(p, "hello");
    MappedFile m(p.string());
    EXPECT_EQ(m.View(), "hello");
    m.ReleaseBefore(5);
    EXPECT_EQ(m.View(), "hello"); // released pages read again on demand
    WriteBytes(dir.path / "empty", "");
    EXPECT_EQ(MappedFile((dir.path / "empty").string()).View(), "");
    EXPECT_THROW(MappedFile(dir.path.string()), FileError);
    EXPECT_THROW(MappedFile((dir.path / "missing").string()), FileError);
}
