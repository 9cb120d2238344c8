// Timing hooks. Until PxProfileStartTiming is called every hook returns
// after one flag test. While timing, named sections are measured with the
// processor's time-stamp counter, accumulated per frame and kept frame by
// frame for the report.
#include "kelmar/PxMisc.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <x86intrin.h>
#define PX_PROFILE_TSC 1
#else
#define PX_PROFILE_TSC 0
#endif

#include "kelmar/PxMemory.h"
#include "kelmar/PxMessage.h"

namespace {

struct Section {
    char *name;           // owned copy
    int depth;            // starts not yet ended; only the outermost is timed
    uint64_t start;       // counter at the outermost start
    uint64_t frameCycles; // accumulated in the frame in progress
    int frameCalls;
    int frameCount0;      // starts with flag 0 in the frame in progress
    int frameCount1;      // starts with a non-zero flag
    uint64_t totalCycles; // over all completed frames
};

// One section's figures in one completed frame.
struct Sample {
    int frame;
    int section;
    uint64_t cycles;
    int calls;
    int count0;
    int count1;
};

struct Profile {
    PxArray sections;    // Section, in order of first use
    PxArray samples;     // Sample, frame by frame
    PxArray frameCycles; // uint64_t per completed frame
    int frames;          // completed frames
    int inFrame;
    uint64_t frameStart;
    uint64_t startCounter; // for calibrating the counter against wall time
    std::chrono::steady_clock::time_point startTime;
};

int gTiming = 0;
Profile gProfile;

uint64_t ReadCounter()
{
#if PX_PROFILE_TSC
    return __rdtsc();
#else
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
#endif
}

Section *SectionAt(int index)
{
    return static_cast<Section *>(gProfile.sections.data) + index;
}

int FindSection(const char *name)
{
    for (int i = 0; i < gProfile.sections.size; ++i)
        if (std::strcmp(SectionAt(i)->name, name) == 0) return i;
    return -1;
}

// Index of the section called name, created on first use; -1 when memory
// is short.
int SectionIndex(const char *name)
{
    const int found = FindSection(name);
    if (found >= 0) return found;
    const size_t length = std::strlen(name);
    char *copy = static_cast<char *>(PxMemoryAPI.create(length + 1));
    if (copy == nullptr) return -1;
    Section *section = static_cast<Section *>(PxArrayGrow(&gProfile.sections, 1));
    if (section == nullptr) {
        PxMemoryAPI.destroy(copy);
        return -1;
    }
    std::memcpy(copy, name, length + 1);
    std::memset(section, 0, sizeof *section);
    section->name = copy;
    return gProfile.sections.size - 1;
}

void FreeProfile()
{
    for (int i = 0; i < gProfile.sections.size; ++i) PxMemoryAPI.destroy(SectionAt(i)->name);
    PxArrayTerm(&gProfile.sections);
    PxArrayTerm(&gProfile.samples);
    PxArrayTerm(&gProfile.frameCycles);
}

// Counter ticks per microsecond: the "cpu MHz" line of /proc/cpuinfo for the
// time-stamp counter, else the rate measured since timing started.
double CounterMHz()
{
    if (!PX_PROFILE_TSC) return 1000.0; // the fallback counter counts nanoseconds
    double mhz = 0.0;
    FILE *cpuinfo = std::fopen("/proc/cpuinfo", "r");
    if (cpuinfo != nullptr) {
        char line[256];
        while (mhz <= 0.0 && std::fgets(line, sizeof line, cpuinfo) != nullptr) {
            float value = 0.0f;
            if (std::sscanf(line, "cpu MHz\t\t: %f", &value) == 1) mhz = value;
        }
        std::fclose(cpuinfo);
    }
    if (mhz > 0.0) return mhz;
    const double elapsedUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - gProfile.startTime).count();
    const double ticks = static_cast<double>(ReadCounter() - gProfile.startCounter);
    return elapsedUs > 0.0 ? ticks / elapsedUs : 1.0;
}

void WriteTable(FILE *out)
{
    const int frames = gProfile.frames;
    const double mhz = CounterMHz();
    double frameTotal = 0.0;
    for (int i = 0; i < gProfile.frameCycles.size; ++i)
        frameTotal += static_cast<double>(static_cast<const uint64_t *>(gProfile.frameCycles.data)[i]);
    const double avFrame = frames > 0 ? frameTotal / frames : 0.0;
    std::fprintf(out, "Averages over %d frames. NB: Sections can be concurrent.\n", frames);
    std::fprintf(out, "Section profiled                Av cycles   Av %%   av ms\n");
    for (int i = 0; i < gProfile.sections.size; ++i) {
        const Section *section = SectionAt(i);
        const double avCycles = frames > 0 ? static_cast<double>(section->totalCycles) / frames : 0.0;
        const double percent = avFrame > 0.0 ? 100.0 * avCycles / avFrame : 0.0;
        const double ms = avCycles / (mhz * 1000.0);
        std::fprintf(out, "%-32.32s%9.0f %6.2f %7.3f\n", section->name, avCycles, percent, ms);
    }
}

// Data file: one line per frame with the frame number and its cycles, then
// cycles, calls, count0 and count1 of every section (zeros when absent).
int WriteDataFile()
{
    FILE *data = std::fopen("PxProfile.dat", "w");
    if (data == nullptr) return 0;
    const Sample *samples = static_cast<const Sample *>(gProfile.samples.data);
    const uint64_t *frameCycles = static_cast<const uint64_t *>(gProfile.frameCycles.data);
    int next = 0;
    for (int frame = 0; frame < gProfile.frames; ++frame) {
        std::fprintf(data, "%d %llu", frame, static_cast<unsigned long long>(frameCycles[frame]));
        for (int s = 0; s < gProfile.sections.size; ++s) {
            if (next < gProfile.samples.size && samples[next].frame == frame && samples[next].section == s) {
                const Sample &sample = samples[next++];
                std::fprintf(data, " %llu %d %d %d", static_cast<unsigned long long>(sample.cycles), sample.calls,
                             sample.count0, sample.count1);
            } else {
                std::fprintf(data, " 0 0 0 0");
            }
        }
        std::fprintf(data, "\n");
    }
    return std::fclose(data) == 0;
}

// A gnuplot script plotting one figure (offset 0..3 within a section's
// four columns) of every section against the frame number.
int WritePlot(const char *fileName, const char *title, int offset)
{
    FILE *plot = std::fopen(fileName, "w");
    if (plot == nullptr) return 0;
    std::fprintf(plot, "set title \"%s\"\nset xlabel \"frame\"\n", title);
    for (int s = 0; s < gProfile.sections.size; ++s) {
        std::fprintf(plot, "%s \"PxProfile.dat\" using 1:%d title \"", s == 0 ? "plot" : ", \\\n    ",
                     3 + 4 * s + offset);
        for (const char *c = SectionAt(s)->name; *c != '\0'; ++c)
            if (*c != '"' && *c != '\\') std::fputc(*c, plot);
        std::fprintf(plot, "\" with lines");
    }
    std::fprintf(plot, "\npause -1\n");
    return std::fclose(plot) == 0;
}

void WriteGnuplotFiles()
{
    int ok = WriteDataFile();
    ok = WritePlot("cyclePlot.gpt", "Cycles per frame", 0) && ok;
    ok = WritePlot("timesCalledPlot.gpt", "Times called per frame", 1) && ok;
    ok = WritePlot("count0Plot.gpt", "Starts with flag 0 per frame", 2) && ok;
    ok = WritePlot("count1Plot.gpt", "Starts with a non-zero flag per frame", 3) && ok;
    if (!ok) PxWarning(3, "PxProfileOutputResults: Could not write the gnuplot files.\n");
}

} // namespace

void PxProfileStartTiming(void)
{
    if (gTiming) FreeProfile();
    gProfile.frames = 0;
    gProfile.inFrame = 0;
    gProfile.frameStart = 0;
    PxArrayInit(&gProfile.sections, 16, static_cast<int>(sizeof(Section)));
    PxArrayInit(&gProfile.samples, 256, static_cast<int>(sizeof(Sample)));
    PxArrayInit(&gProfile.frameCycles, 64, static_cast<int>(sizeof(uint64_t)));
    gProfile.startTime = std::chrono::steady_clock::now();
    gProfile.startCounter = ReadCounter();
    gTiming = 1;
}

void PxProfileStopTiming(void)
{
    if (!gTiming) return;
    FreeProfile();
    gTiming = 0;
}

int PxProfileIsTiming(void)
{
    return gTiming;
}

void PxProfileStartFrame(void)
{
    if (!gTiming) return;
    if (gProfile.inFrame) {
        PxWarning(3, "PxProfileStartFrame: A frame is already running; this start is ignored.\n");
        return;
    }
    gProfile.inFrame = 1;
    gProfile.frameStart = ReadCounter();
}

// Closes the frame: every section's frame figures become one sample and are
// added to its totals.
void PxProfileEndFrame(void)
{
    if (!gTiming) return;
    if (!gProfile.inFrame) {
        PxWarning(3, "PxProfileEndFrame: No frame was started.\n");
        return;
    }
    const uint64_t cycles = ReadCounter() - gProfile.frameStart;
    gProfile.inFrame = 0;
    uint64_t *frameCycles = static_cast<uint64_t *>(PxArrayGrow(&gProfile.frameCycles, 1));
    if (frameCycles == nullptr) return;
    *frameCycles = cycles;
    for (int i = 0; i < gProfile.sections.size; ++i) {
        Section *section = SectionAt(i);
        if (section->frameCalls > 0) {
            Sample *sample = static_cast<Sample *>(PxArrayGrow(&gProfile.samples, 1));
            if (sample != nullptr)
                *sample = Sample{gProfile.frames,      i,
                                 section->frameCycles, section->frameCalls,
                                 section->frameCount0, section->frameCount1};
        }
        section->totalCycles += section->frameCycles;
        section->frameCycles = 0;
        section->frameCalls = section->frameCount0 = section->frameCount1 = 0;
    }
    ++gProfile.frames;
}

void PxProfileStartSectionFn(const char *name, int flag)
{
    if (!gTiming || name == nullptr) return;
    const int index = SectionIndex(name);
    if (index < 0) return;
    Section *section = SectionAt(index);
    ++section->frameCalls;
    if (flag == 0)
        ++section->frameCount0;
    else
        ++section->frameCount1;
    if (section->depth++ == 0) section->start = ReadCounter();
}

void PxProfileEndSectionFn(const char *name)
{
    if (!gTiming || name == nullptr) return;
    const uint64_t now = ReadCounter();
    const int index = FindSection(name);
    if (index < 0 || SectionAt(index)->depth == 0) {
        PxWarning(3, "PxProfileEndSectionFn: You tried to stop %s which you hadn't started, which is a bit silly.\n",
                  name);
        return;
    }
    Section *section = SectionAt(index);
    if (--section->depth == 0) section->frameCycles += now - section->start;
}

void PxProfileOutputResults(FILE *out, int gnuplotFiles)
{
    if (gnuplotFiles)
        WriteGnuplotFiles();
    else if (out != nullptr)
        WriteTable(out);
}
