// Streams, raw files and the file search list.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::TempDir;

namespace {

int SearchListLength()
{
    int n = 0;
    while (PxGetDefaultFileLocation(n) != nullptr) ++n;
    return n;
}

} // namespace

TEST(Stream, FilesWrappedFilesAndMemoryReadBackWhatWasWritten)
{
    TempDir dir;
    // Writing truncates, appending adds; text and binary read back the same bytes.
    const std::string path = dir.file("scene.txt");
    const struct {
        int writeMode, readMode;
        std::string written, expected;
    } steps[] = {
        {PX_MODE_WRITE, PX_MODE_READ, "first line\nsecond", "first line\nsecond"},
        {PX_MODE_APPEND, PX_MODE_READ_BINARY, " line\n", "first line\nsecond line\n"},
        {PX_MODE_WRITE_BINARY, PX_MODE_READ, std::string("\0\x01\xff\n", 4), std::string("\0\x01\xff\n", 4)}};
    char line[64];
    for (const auto &step : steps) {
        PxStream *out = PxStreamOpen(path.c_str(), step.writeMode);
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(out->name != path.c_str() && path == out->name) << "the stream owns a copy of its name";
        EXPECT_EQ(PxStreamWrite(step.written.data(), 1, step.written.size(), out), step.written.size());
        PxStreamClose(out);
        PxStream *in = PxStreamOpen(path.c_str(), step.readMode);
        ASSERT_NE(in, nullptr);
        EXPECT_EQ(std::string(line, PxStreamRead(line, 1, sizeof line, in)), step.expected);
        PxStreamClose(in);
    }
    // A wrapped file stays open after its stream is destroyed.
    FILE *file = std::tmpfile();
    PxStream *wrapped = PxStreamCreate(file);
    EXPECT_STREQ(wrapped->name, "file pointer");
    EXPECT_EQ(PxStreamWrite("abc", 1, 3, wrapped), 3u);
    PxStreamDestroy(wrapped);
    EXPECT_EQ(std::fputs("def\n", file), 1) << "the file must still be open";
    std::rewind(file);
    EXPECT_STREQ(std::fgets(line, sizeof line, file), "abcdef\n");
    std::fclose(file);
    // Memory reads like a file of its name, line by line.
    const char text[] = "<PX>\nline two\n";
    PxStream *memory = PxStreamOpenMemory("scene.px", text, sizeof text - 1);
    ASSERT_NE(memory, nullptr);
    EXPECT_STREQ(memory->name, "scene.px");
    EXPECT_STREQ(PxStreamReadLine(line, sizeof line, memory), "<PX>\n");
    EXPECT_STREQ(PxStreamReadLine(line, sizeof line, memory), "line two\n");
    EXPECT_EQ(PxStreamReadLine(line, sizeof line, memory), nullptr);
    PxStreamClose(memory);
    memory = PxStreamOpenMemory("empty.px", nullptr, 0);
    EXPECT_EQ(PxStreamRead(line, 1, sizeof line, memory), 0u);
    PxStreamClose(memory);
    EXPECT_EQ(PxStreamOpenMemory(nullptr, text, 3), nullptr);
    EXPECT_EQ(PxStreamOpen(dir.file("missing.txt").c_str(), PX_MODE_READ), nullptr);
    EXPECT_EQ(PxStreamOpen(path.c_str(), 9), nullptr);
    EXPECT_EQ(PxStreamRead(line, 1, 1, nullptr) + PxStreamWrite(line, 1, 1, nullptr), 0u);
    PxStreamClose(nullptr);
}

TEST(RawFile, WriteSeekReadAppendAndTruncateAndRefuseBadModes)
{
    TempDir dir;
    const std::string path = dir.file("raw.dat");
    const mode_t mask = umask(0);
    umask(mask);
    int fd = PxOpen(path.c_str(), PX_MODE_WRITE);
    EXPECT_EQ(PxWrite(fd, "0123456789", 10), 10);
    EXPECT_EQ(PxClose(fd), 0);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u & ~mask);
    fd = PxOpen(path.c_str(), PX_MODE_READ);
    EXPECT_EQ(PxLseek(fd, 0, 2), 10);
    EXPECT_EQ(PxLseek(fd, 4, 0), 4);
    EXPECT_EQ(PxLseek(fd, 2, 1), 6);
    char buffer[8] = {};
    EXPECT_EQ(PxRead(fd, buffer, 3), 3);
    EXPECT_STREQ(buffer, "678");
    EXPECT_EQ(PxWrite(fd, "x", 1), -1) << "read-only";
    PxClose(fd);
    fd = PxOpen(path.c_str(), PX_MODE_APPEND);
    EXPECT_EQ(PxWrite(fd, "AB", 2), 2);
    EXPECT_EQ(PxLseek(fd, 0, 0), 0);
    EXPECT_EQ(PxRead(fd, buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "AB23");
    PxClose(fd);
    fd = PxOpen(path.c_str(), PX_MODE_WRITE);
    EXPECT_EQ(PxLseek(fd, 0, 2), 0) << "truncated";
    PxClose(fd);

    pxtest::MessageCapture capture;
    EXPECT_LT(PxOpen(dir.file("missing").c_str(), PX_MODE_READ_BINARY), 0);
    EXPECT_LT(PxOpen("whatever", 7), 0);
    EXPECT_LT(PxOpenWithSearch("whatever", 5), 0);
    EXPECT_LT(PxLseek(0, 0, -1), 0);
    EXPECT_EQ(capture.joined("warning"), "PxWarning{3}: Invalid mode parameter passed to PxOpen().\n"
                                         "PxWarning{3}: Invalid mode parameter passed to PxOpen().\n"
                                         "PxWarning{3}: Invalid origin parameter passed to PxLseek().\n");
}

TEST(FileSearch, AddedDirectoriesAndRelativeDefaultsFindAFileByItsBareName)
{
    TempDir dir;
    const std::string data = dir.subdir("data"), name = "kelmar_search_probe_" + std::to_string(getpid());
    std::ofstream(dir.file("data/" + name)) << "found\n";
    ASSERT_EQ(PxGetFileLocation(name.c_str()), nullptr) << "not found before the directory is added";
    const int before = SearchListLength();
    PxFileSearchPathAdd(nullptr);
    PxFileSearchPathAdd("");
    PxFileSearchPathAdd(data.c_str());
    PxFileSearchPathAdd((data + "/").c_str());
    ASSERT_EQ(SearchListLength(), before + 2) << "null and empty directories are ignored";
    EXPECT_STREQ(PxGetDefaultFileLocation(before), (data + "/").c_str());
    EXPECT_STREQ(PxGetDefaultFileLocation(before + 1), (data + "/").c_str()) << "no second '/'";
    EXPECT_STREQ(PxGetFileLocation(name.c_str()), (data + "/" + name).c_str());
    PxStream *stream = PxStreamOpenWithSearch(name.c_str(), PX_MODE_READ);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::string(stream->name), name) << "the stream keeps the name as given";
    char line[16];
    EXPECT_STREQ(PxStreamReadLine(line, sizeof line, stream), "found\n");
    PxStreamClose(stream);
    const int fd = PxOpenWithSearch(name.c_str(), PX_MODE_READ);
    EXPECT_EQ(PxRead(fd, line, 5), 5);
    PxClose(fd);
    EXPECT_EQ(PxGetFileLocation("kelmar_no_such_file.txt"), nullptr);
    EXPECT_LT(PxOpenWithSearch("kelmar_no_such_file.txt", PX_MODE_READ), 0);

    // Relative defaults are added under a base in built-in order, and a file
    // under base/Resources/px_files/ is found by its bare name.
    const std::string base = dir.path() + "/install", probe = name + ".px";
    const int listed = SearchListLength();
    PxFileSearchPathAddAllRelativeDefaults(base.c_str());
    ASSERT_EQ(SearchListLength(), listed + 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_STREQ(PxGetDefaultFileLocation(listed + i), (base + "/" + PxGetDefaultFileLocation(i)).c_str());
    dir.subdir("install/Resources/px_files");
    std::ofstream(dir.file("install/Resources/px_files/" + probe)) << "x";
    EXPECT_STREQ(PxGetFileLocation(probe.c_str()), (base + "/Resources/px_files/" + probe).c_str());
}
