// Test helpers: a temporary folder, capture of message pieces through the
// show functions, and a counting (optionally failing) allocation table. Each
// cleans up or restores the previous globals when it goes out of scope.
#ifndef KELMAR_TESTS_FOUNDATION_SUPPORT_H
#define KELMAR_TESTS_FOUNDATION_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"

namespace pxtest {

// The whole text of a file ("" when it cannot be read).
inline std::string ReadFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh directory under the test temporary folder, removed with all it
// holds at the end of the test.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = testing::TempDir() + "pxtestXXXXXX";
        if (mkdtemp(&pattern[0]) != nullptr) path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
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

// Sets a message channel's level (PxWarningLevel, ...) for one scope.
class LevelGuard {
public:
    LevelGuard(int &level, int value) : level_(level), old_(level) { level_ = value; }
    ~LevelGuard() { level_ = old_; }
    LevelGuard(const LevelGuard &) = delete;
    LevelGuard &operator=(const LevelGuard &) = delete;

private:
    int &level_;
    int old_;
};

// Every piece shown on any of the four channels, in order, tagged with the
// channel: "info", "warning", "debug" or "fatal".
struct ShownPiece {
    std::string channel;
    int level;
    std::string text;
};

class MessageCapture {
public:
    MessageCapture()
    {
        pieces().clear();
        oldInfo_ = PxSetInfoShow(ShowInfo);
        oldWarning_ = PxSetWarningShow(ShowWarning);
        oldDebug_ = PxSetDebugShow(ShowDebug);
        oldFatal_ = PxSetFatalErrorShow(ShowFatal);
        // Earlier tests' messages must not count against this one's.
        PxMessageFlushRepeats();
        pieces().clear();
    }
    ~MessageCapture()
    {
        PxSetInfoShow(oldInfo_);
        PxSetWarningShow(oldWarning_);
        PxSetDebugShow(oldDebug_);
        PxSetFatalErrorShow(oldFatal_);
    }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    static std::vector<ShownPiece> &pieces()
    {
        static std::vector<ShownPiece> shown;
        return shown;
    }
    // All pieces of one channel joined, for checks on whole messages.
    static std::string joined(const std::string &channel)
    {
        std::string text;
        for (const ShownPiece &piece : pieces())
            if (piece.channel == channel) text += piece.text;
        return text;
    }

private:
    static void ShowInfo(int level, const char *text) { pieces().push_back({"info", level, text}); }
    static void ShowWarning(int level, const char *text) { pieces().push_back({"warning", level, text}); }
    static void ShowDebug(int level, const char *text) { pieces().push_back({"debug", level, text}); }
    static void ShowFatal(int level, const char *text) { pieces().push_back({"fatal", level, text}); }

    PxShowFunction oldInfo_, oldWarning_, oldDebug_, oldFatal_;
};

// Replaces PxMemoryAPI by malloc-backed functions that count their calls
// and remember the sizes asked for. failAfter >= 0 makes every call that
// would allocate fail once that many allocations have succeeded.
class CountingAllocator {
public:
    explicit CountingAllocator(int failAfter = -1)
    {
        state() = State{};
        state().failAfter = failAfter;
        old_ = PxMemoryAPI;
        PxMemoryAPI.create = Create;
        PxMemoryAPI.createZeroed = CreateZeroed;
        PxMemoryAPI.destroy = Destroy;
        PxMemoryAPI.resize = Resize;
    }
    ~CountingAllocator() { PxMemoryAPI = old_; }
    CountingAllocator(const CountingAllocator &) = delete;
    CountingAllocator &operator=(const CountingAllocator &) = delete;

    struct State {
        int creates = 0;
        int zeroedCreates = 0;
        int destroys = 0; // non-null pointers only
        int resizes = 0;
        int failAfter = -1;
        std::vector<size_t> sizes;                           // every successful create/createZeroed/resize
        std::vector<std::pair<const char *, size_t>> blocks; // and the memory it gave
    };
    // Whether [p, p + size) lies inside one block this table handed out.
    static bool Owns(const void *p, size_t size)
    {
        const char *c = static_cast<const char *>(p);
        for (const auto &block : state().blocks)
            if (c >= block.first && c + size <= block.first + block.second) return true;
        return false;
    }
    static State &state()
    {
        static State s;
        return s;
    }
    static int allocationCalls() { return state().creates + state().zeroedCreates + state().resizes; }
    void failFromNowOn() { state().failAfter = static_cast<int>(state().sizes.size()); }

private:
    static bool ShouldFail()
    {
        return state().failAfter >= 0 && static_cast<int>(state().sizes.size()) >= state().failAfter;
    }
    static void *Record(void *p, size_t size)
    {
        if (p != nullptr) state().blocks.emplace_back(static_cast<const char *>(p), size);
        return p;
    }
    static void *Create(size_t size)
    {
        ++state().creates;
        if (ShouldFail()) return nullptr;
        state().sizes.push_back(size);
        return Record(std::malloc(size), size);
    }
    static void *CreateZeroed(size_t size)
    {
        ++state().zeroedCreates;
        if (ShouldFail()) return nullptr;
        state().sizes.push_back(size);
        return Record(std::calloc(1, size), size);
    }
    static void Destroy(void *pointer)
    {
        if (pointer != nullptr) ++state().destroys;
        std::free(pointer);
    }
    static void *Resize(void *pointer, size_t size)
    {
        ++state().resizes;
        if (ShouldFail() || size == 0) return nullptr;
        state().sizes.push_back(size);
        return Record(std::realloc(pointer, size), size);
    }

    PxMemoryAPIType old_;
};

} // namespace pxtest

#endif
