// Kinds of messages and how often each was given. A kind is a hash of the
// message text with its digits left out, so that "triangle 12 ignored" and
// "triangle 13 ignored" are one kind. The table is small and fixed: once it
// is full, new kinds are shown without counting rather than lost.
#include "PxMessageRepeats.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace pxmessage {

namespace {

constexpr int kKinds = 256;
constexpr size_t kSampleSize = 64;

struct Kind {
    uint64_t key; // 0: free slot
    int channel;
    long count;
    char sample[kSampleSize];
};

Kind gKinds[kKinds];

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Where a number starts: a digit, or a sign or point before one.
bool StartsNumber(const char *c)
{
    return IsDigit(c[0]) || ((c[0] == '-' || c[0] == '+' || c[0] == '.') && IsDigit(c[1]));
}

bool InNumber(char c)
{
    return IsDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
}

// FNV-1a over the text without its numbers (signs, points and exponents
// included), with the channel folded in; never 0.
uint64_t KeyOf(int channel, const char *text)
{
    uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(channel + 1);
    for (const char *c = text; *c != '\0';) {
        if (StartsNumber(c)) {
            while (InNumber(*c)) ++c;
            continue;
        }
        h = (h ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
        ++c;
    }
    return h != 0 ? h : 1;
}

// The slot of key (open addressing), or null when the table is full.
Kind *SlotOf(uint64_t key)
{
    for (int probe = 0; probe < kKinds; ++probe) {
        Kind &kind = gKinds[(key + static_cast<uint64_t>(probe)) % kKinds];
        if (kind.key == key || kind.key == 0) return &kind;
    }
    return nullptr;
}

bool IsPowerOfTen(long n)
{
    while (n >= 10 && n % 10 == 0) n /= 10;
    return n == 1;
}

} // namespace

void SampleOf(const char *text, char *out, size_t size)
{
    const size_t room = size - 4; // for "..." and the terminator
    size_t n = std::strcspn(text, "\n");
    const bool cut = n > room;
    if (cut) n = room;
    std::memcpy(out, text, n);
    std::strcpy(out + n, cut ? "..." : "");
}

Verdict NoteRepeat(int channel, const char *text, long *count)
{
    const uint64_t key = KeyOf(channel, text);
    Kind *kind = SlotOf(key);
    if (kind == nullptr) return Verdict::Show;
    if (kind->key == 0) {
        kind->key = key;
        kind->channel = channel;
        kind->count = 0;
        SampleOf(text, kind->sample, sizeof kind->sample);
    }
    *count = ++kind->count;
    if (kind->count <= PX_MESSAGE_REPEATS_SHOWN) return Verdict::Show;
    if (kind->count == PX_MESSAGE_REPEATS_SHOWN + 1) return Verdict::ShowCutNote;
    return IsPowerOfTen(kind->count) ? Verdict::ShowCount : Verdict::Hide;
}

} // namespace pxmessage

// The final counts go through the channel's show function, so that they
// land where the shown messages went.
void PxMessageFlushRepeats(void)
{
    using pxmessage::gKinds;
    for (pxmessage::Kind &kind : gKinds) {
        if (kind.key != 0 && kind.count > PX_MESSAGE_REPEATS_SHOWN) {
            PxShowFunction show = kind.channel == PX_CHANNEL_INFO      ? PxInfoShow
                                  : kind.channel == PX_CHANNEL_WARNING ? PxWarningShow
                                                                       : PxDebugShow;
            char line[160];
            std::snprintf(line, sizeof line, "%ld messages like \"%s\" in all, %ld of them not shown\n", kind.count,
                          kind.sample, kind.count - PX_MESSAGE_REPEATS_SHOWN);
            if (show != nullptr) show(0, line);
        }
        kind = pxmessage::Kind();
    }
}
