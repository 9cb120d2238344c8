// Loading toolkit scene files: N bodies (alone, or each with a sphere
// model), read from memory into a universe, then every body's name looked up by the body (as
// the scene runner reports them), then everything destroyed. The time per
// body should stay flat as N grows: lookups by name and by object are hash
// lookups, not scans.
#include <benchmark/benchmark.h>

#include <string>

#include <kelmar/Px.h>
#include <kelmar/PxFile.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

namespace {

// A coordinate of body k on a grid of 2 m cells, moved within its cell so
// that the bodies do not line up along the space's axes.
std::string coordinate(int cell, int k, double twist)
{
    const double jitter = k * twist - static_cast<long>(k * twist);
    return std::to_string(2.0 * cell + jitter);
}

std::string sceneOf(int bodies, bool models)
{
    std::string text = "<PX file_format_version=\"1.4\">\n<CORE>\n<RBD>\n<BODIES>\n";
    for (int k = 0; k < bodies; ++k)
        text += "<BODY><ID>b" + std::to_string(k) + "</ID><POS>" + coordinate(k % 100, k, 0.618) + "," +
                coordinate(k / 100 % 100, k, 0.414) + "," + coordinate(k / 10000, k, 0.732) +
                "</POS><MASS>1</MASS></BODY>\n";
    text += "</BODIES>\n</RBD>\n";
    if (models) {
        text += "<CDX>\n<GEOMETRIES><SPHERE><ID>g</ID><RADIUS>0.5</RADIUS></SPHERE></GEOMETRIES>\n<MODELS>\n";
        for (int k = 0; k < bodies; ++k)
            text += "<MODEL><ID>m" + std::to_string(k) + "</ID><GEOMETRY_ID>g</GEOMETRY_ID><BODY_ID>b" +
                    std::to_string(k) + "</BODY_ID></MODEL>\n";
        text += "</MODELS>\n</CDX>\n";
    }
    return text + "</CORE>\n</PX>\n";
}

void silence(int, const char *, va_list)
{
}

void load(benchmark::State &state, bool models)
{
    const int bodies = static_cast<int>(state.range(0));
    const std::string text = sceneOf(bodies, models);
    PxMessageHandler info = PxSetInfoHandler(silence);
    const SbxUniverseSizes sizes = {bodies, 16, 16, models ? bodies : 16, models ? 4 * bodies : 64, 4};
    for (auto _ : state) {
        SbxUniverseID universe = SbxUniverseCreate(sizes);
        PxLoadContext *context = PxLoadContextCreate();
        PxStream *stream = PxStreamOpenMemory("bench.px", text.data(), text.size());
        const int result = SbxUniverseLoad(universe, stream, context);
        size_t named = 0;
        for (RbdBodyID b = RbdBodyGetFirst(SbxUniverseGetWorld(universe)); b; b = RbdBodyGetNext(b))
            named += RbdBodyLookupStringID(context, b) != nullptr;
        PxStreamClose(stream);
        PxLoadContextDestroyObjects(context);
        PxLoadContextDestroy(context);
        SbxUniverseDestroy(universe);
        if (result != PX_LOAD_DONE || named != static_cast<size_t>(bodies)) state.SkipWithError("load failed");
    }
    PxSetInfoHandler(info);
    state.counters["us/body"] = benchmark::Counter(
        static_cast<double>(bodies), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LoadBodies(benchmark::State &state)
{
    load(state, false);
}

void BM_LoadBodiesWithModels(benchmark::State &state)
{
    load(state, true);
}

} // namespace

BENCHMARK(BM_LoadBodies)->Arg(10000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);
// With models the collision space places them all in its first update,
// sweeping the axis on which the fewest boxes overlap; on this grid that axis
// still meets every model of a column (100 of them at 10k bodies), so the
// placement grows faster than N, but it is a tenth of the load at 10k.
BENCHMARK(BM_LoadBodiesWithModels)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
