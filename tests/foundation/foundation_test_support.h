// Test helpers: a temporary folder, capture of message pieces through the
// show functions, and a counting (optionally failing) allocation table. Each
// cleans up or restores the previous globals when it goes out of scope.
#ifndef KELMAR_TESTS_FOUNDATION_SUPPORT_H
#define KELMAR_TESTS_FOUNDATION_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"

#include "common/ReadFile.h"

namespace pxtest {

using testsupport::ReadFile;
using testsupport::WrittenText;

// A fresh directory under the test temporary folder, removed with all it
// holds at the end of the test.
class TempDir {
public:
    TempDir() : path_(testing::TempDir() + "pxtestXXXXXX")
    {
        if (mkdtemp(&path_[0]) == nullptr) path_.clear();
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    std::string subdir(const std::string &name) const
    {
        std::filesystem::create_directories(file(name));
        return file(name);
    }

private:
    std::string path_;
};

// Every piece shown on any of the four channels while it lives, in order,
// with its channel ("info", "warning", "debug" or "fatal"). The warning
// level is 3 meanwhile; all three levels are restored at the end.
class MessageCapture {
public:
    MessageCapture()
        : levels_{PxInfoLevel, PxWarningLevel, PxDebugLevel}, old_{PxSetInfoShow(Show<0>), PxSetWarningShow(Show<1>),
                                                                   PxSetDebugShow(Show<2>),
                                                                   PxSetFatalErrorShow(Show<3>)}
    {
        PxWarningLevel = 3;
        PxMessageFlushRepeats(); // earlier tests' messages must not count against this one's
        pieces().clear();
    }
    ~MessageCapture()
    {
        PxInfoLevel = levels_[0], PxWarningLevel = levels_[1], PxDebugLevel = levels_[2];
        PxSetInfoShow(old_[0]);
        PxSetWarningShow(old_[1]);
        PxSetDebugShow(old_[2]);
        PxSetFatalErrorShow(old_[3]);
    }
    static std::vector<std::pair<std::string, std::string>> &pieces() // (channel, text)
    {
        static std::vector<std::pair<std::string, std::string>> shown;
        return shown;
    }
    // All pieces of one channel joined, for checks on whole messages.
    static std::string joined(const std::string &channel)
    {
        std::string text;
        for (const auto &piece : pieces())
            if (piece.first == channel) text += piece.second;
        return text;
    }

private:
    template <int channel> static void Show(int, const char *text)
    {
        static const char *const names[] = {"info", "warning", "debug", "fatal"};
        pieces().emplace_back(names[channel], text);
    }
    int levels_[3];
    PxShowFunction old_[4];
};

// Replaces PxMemoryAPI by malloc-backed functions that count their calls
// and remember the blocks they gave. failAfter >= 0 makes every call that
// would allocate fail once that many allocations have succeeded.
class CountingAllocator {
public:
    struct State {
        int creates = 0, destroys = 0, resizes = 0; // destroys of non-null pointers only
        int failAfter = -1;
        std::vector<std::pair<const char *, size_t>> blocks; // every successful allocation
    };
    explicit CountingAllocator(int failAfter = -1) : old_(PxMemoryAPI)
    {
        state() = State{};
        state().failAfter = failAfter;
        PxMemoryAPI.create = [](size_t n) {
            return ++state().creates, Fails() ? nullptr : Record(std::malloc(n), n);
        };
        PxMemoryAPI.createZeroed = [](size_t n) {
            return ++state().creates, Fails() ? nullptr : Record(std::calloc(1, n), n);
        };
        PxMemoryAPI.resize = [](void *p, size_t n) {
            return ++state().resizes, Fails() || n == 0 ? nullptr : Record(std::realloc(p, n), n);
        };
        PxMemoryAPI.destroy = [](void *p) { state().destroys += p != nullptr, std::free(p); };
    }
    ~CountingAllocator() { PxMemoryAPI = old_; }
    static State &state()
    {
        static State s;
        return s;
    }
    // Whether [p, p + size) lies inside one block this table handed out.
    static bool Owns(const void *p, size_t size)
    {
        const char *c = static_cast<const char *>(p);
        for (const auto &block : state().blocks)
            if (c >= block.first && c + size <= block.first + block.second) return true;
        return false;
    }
    static int allocationCalls() { return state().creates + state().resizes; }
    void failFromNowOn() { state().failAfter = static_cast<int>(state().blocks.size()); }

private:
    static bool Fails()
    {
        return state().failAfter >= 0 && static_cast<int>(state().blocks.size()) >= state().failAfter;
    }
    static void *Record(void *p, size_t size)
    {
        if (p != nullptr) state().blocks.emplace_back(static_cast<const char *>(p), size);
        return p;
    }

    PxMemoryAPIType old_;
};

} // namespace pxtest

#endif
