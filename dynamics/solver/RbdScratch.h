// Throwaway diagnostic switches (environment), read once.
#ifndef KELMAR_DYNAMICS_RBDSCRATCH_H
#define KELMAR_DYNAMICS_RBDSCRATCH_H
#include <stdlib.h>
extern int g_kxStep;
namespace kx {
inline int env(const char *name, int fallback)
{
    const char *v = getenv(name);
    return v ? atoi(v) : fallback;
}
inline double envf(const char *name, double fallback)
{
    const char *v = getenv(name);
    return v ? atof(v) : fallback;
}
inline bool on()
{
    static const int from = env("KX_FROM", 0);
    return g_kxStep >= from;
}
inline int corr() { static const int v = env("KX_CORR", 0); return on() ? v : 0; }
inline int warm() { static const int v = env("KX_WARM", 1); return on() ? v : 1; }
inline int sweeps() { static const int v = env("KX_SWEEPS", 0); return on() ? v : 0; }
inline int settled() { static const int v = env("KX_SETTLED", 0); return on() ? v : 0; }
inline int hold() { static const int v = env("KX_HOLD", 1); return on() ? v : 1; }
inline int heaps() { static const int v = env("KX_HEAPS", 1); return on() ? v : 1; }
inline double muScale() { static const double v = envf("KX_MU", 1.0); return on() ? v : 1.0; }
inline double gammaScale() { static const double v = envf("KX_GAMMA", 1.0); return on() ? v : 1.0; }
} // namespace kx
#endif
