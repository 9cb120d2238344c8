// Streams, raw files and the file search list.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::LevelGuard;
using pxtest::MessageCapture;
using pxtest::TempDir;

namespace {

int SearchListLength()
{
    int n = 0;
    while (PxGetDefaultFileLocation(n) != nullptr) ++n;
    return n;
}

void WriteText(const std::string &path, const char *text)
{
    FILE *file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::fclose(file);
}

} // namespace

TEST(Stream, TextAndBinaryStreamsRoundTrip)
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
        EXPECT_STREQ(out->name, path.c_str());
        EXPECT_NE(out->name, path.c_str()) << "the stream owns a copy of its name";
        EXPECT_EQ(PxStreamWrite(step.written.data(), 1, step.written.size(), out), step.written.size());
        PxStreamClose(out);
        PxStream *in = PxStreamOpen(path.c_str(), step.readMode);
        ASSERT_NE(in, nullptr);
        const size_t n = PxStreamRead(line, 1, sizeof line, in);
        EXPECT_EQ(std::string(line, n), step.expected);
        PxStreamClose(in);
    }

    // A wrapped file is named "file pointer" and stays open after destroy;
    // memory reads like a file of its name.
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    PxStream *wrapped = PxStreamCreate(file);
    EXPECT_STREQ(wrapped->name, "file pointer");
    EXPECT_EQ(PxStreamWrite("abc", 1, 3, wrapped), 3u);
    PxStreamDestroy(wrapped);
    EXPECT_EQ(std::fputs("def\n", file), 1) << "the file must still be open";
    std::rewind(file);
    ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "abcdef\n");
    std::fclose(file);
    const char text2[] = "<PX>\nline two\n";
    PxStream *memory = PxStreamOpenMemory("scene.px", text2, sizeof text2 - 1);
    ASSERT_NE(memory, nullptr);
    EXPECT_STREQ(memory->name, "scene.px");
    for (const char *expected : {"<PX>\n", "line two\n"}) {
        ASSERT_NE(PxStreamReadLine(line, sizeof line, memory), nullptr);
        EXPECT_STREQ(line, expected);
    }
    EXPECT_EQ(PxStreamReadLine(line, sizeof line, memory), nullptr);
    EXPECT_EQ(PxStreamRead(line, 1, sizeof line, memory), 0u);
    PxStreamClose(memory);
    PxStream *empty = PxStreamOpenMemory("empty.px", nullptr, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(PxStreamRead(line, 1, sizeof line, empty), 0u);
    PxStreamClose(empty);
    EXPECT_EQ(PxStreamOpenMemory(nullptr, text2, 3), nullptr);

    EXPECT_EQ(PxStreamOpen((dir.path() + "/missing.txt").c_str(), PX_MODE_READ), nullptr);
    EXPECT_EQ(PxStreamOpen(path.c_str(), 9), nullptr);
    EXPECT_EQ(PxStreamRead(line, 1, 1, nullptr), 0u);
    EXPECT_EQ(PxStreamWrite(line, 1, 1, nullptr), 0u);
    PxStreamClose(nullptr);
}

TEST(RawFile, WriteSeekReadAndReadWrite)
{
    TempDir dir;
    const std::string path = dir.file("raw.dat");
    const mode_t mask = umask(0);
    umask(mask);
    int fd = PxOpen(path.c_str(), PX_MODE_WRITE);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(PxWrite(fd, "0123456789", 10), 10);
    EXPECT_EQ(PxClose(fd), 0);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u & ~mask);

    fd = PxOpen(path.c_str(), PX_MODE_READ);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(PxLseek(fd, 0, 2), 10);
    EXPECT_EQ(PxLseek(fd, 4, 0), 4);
    EXPECT_EQ(PxLseek(fd, 2, 1), 6);
    char buffer[8] = {};
    EXPECT_EQ(PxRead(fd, buffer, 3), 3);
    EXPECT_STREQ(buffer, "678");
    EXPECT_EQ(PxWrite(fd, "x", 1), -1) << "mode 0 is read-only";
    PxClose(fd);

    fd = PxOpen(path.c_str(), PX_MODE_APPEND);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(PxWrite(fd, "AB", 2), 2);
    EXPECT_EQ(PxLseek(fd, 0, 0), 0);
    EXPECT_EQ(PxRead(fd, buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "AB23");
    PxClose(fd);

    // Mode 1 truncates.
    fd = PxOpen(path.c_str(), PX_MODE_WRITE);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(PxLseek(fd, 0, 2), 0);
    PxClose(fd);
    EXPECT_LT(PxOpen((dir.path() + "/missing").c_str(), PX_MODE_READ_BINARY), 0);
}

TEST(RawFile, BadModesAndOriginsAreRefusedWithOneWarningEach)
{
    MessageCapture capture;
    LevelGuard level(PxWarningLevel, 3);
    const long before = PxMessageGetCount(PX_CHANNEL_WARNING);
    EXPECT_LT(PxOpen("whatever", 7), 0);
    EXPECT_LT(PxOpenWithSearch("whatever", 5), 0);
    EXPECT_LT(PxLseek(0, 0, -1), 0);
    EXPECT_EQ(PxMessageGetCount(PX_CHANNEL_WARNING) - before, 3) << "a bad mode is reported once, not per entry";
    EXPECT_EQ(MessageCapture::joined("warning"), "PxWarning{3}: Invalid mode parameter passed to PxOpen().\n"
                                                 "PxWarning{3}: Invalid mode parameter passed to PxOpen().\n"
                                                 "PxWarning{3}: Invalid origin parameter passed to PxLseek().\n");
}

TEST(FileSearch, AddedDirectoriesAndRelativeDefaultsFindAFileByItsBareName)
{
    TempDir dir;
    const std::string data = dir.subdir("data");
    const std::string name = "kelmar_search_probe_" + std::to_string(getpid()) + ".txt";
    WriteText(dir.file("data/" + name), "found\n");
    ASSERT_EQ(PxGetFileLocation(name.c_str()), nullptr) << "not found before the directory is added";
    ASSERT_EQ(PxStreamOpenWithSearch(name.c_str(), PX_MODE_READ), nullptr);

    const int before = SearchListLength();
    PxFileSearchPathAdd(nullptr);
    PxFileSearchPathAdd("");
    EXPECT_EQ(SearchListLength(), before) << "null and empty directories are ignored";
    PxFileSearchPathAdd(data.c_str());
    ASSERT_EQ(SearchListLength(), before + 1);
    EXPECT_EQ(std::string(PxGetDefaultFileLocation(before)), data + "/");
    PxFileSearchPathAdd((data + "/").c_str());
    EXPECT_EQ(std::string(PxGetDefaultFileLocation(before + 1)), data + "/") << "no second '/'";

    const char *location = PxGetFileLocation(name.c_str());
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(std::string(location), data + "/" + name);

    PxStream *stream = PxStreamOpenWithSearch(name.c_str(), PX_MODE_READ);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::string(stream->name), name) << "the stream keeps the name as given";
    char line[16];
    ASSERT_NE(PxStreamReadLine(line, sizeof line, stream), nullptr);
    EXPECT_STREQ(line, "found\n");
    PxStreamClose(stream);

    const int fd = PxOpenWithSearch(name.c_str(), PX_MODE_READ);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(PxRead(fd, line, 5), 5);
    PxClose(fd);
    EXPECT_LT(PxOpenWithSearch("kelmar_no_such_file.txt", PX_MODE_READ), 0);
    EXPECT_EQ(PxGetFileLocation("kelmar_no_such_file.txt"), nullptr);

    // Relative defaults are added under a base in built-in order.
    const std::string base = dir.path() + "/install";
    const int listed = SearchListLength();
    PxFileSearchPathAddAllRelativeDefaults(base.c_str());
    ASSERT_EQ(SearchListLength(), listed + 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(std::string(PxGetDefaultFileLocation(listed + i)), base + "/" + PxGetDefaultFileLocation(i));

    // A file under base/Resources/px_files/ is found by its bare name.
    dir.subdir("install/Resources/px_files");
    const std::string probe = "kelmar_relative_probe_" + std::to_string(getpid()) + ".px";
    WriteText(dir.file("install/Resources/px_files/" + probe), "x");
    ASSERT_NE(PxGetFileLocation(probe.c_str()), nullptr);
    EXPECT_EQ(std::string(PxGetFileLocation(probe.c_str())), base + "/Resources/px_files/" + probe);
}
