// The two hashes of registry keys: h1 picks the slot on the first page,
// h2 multiplies the slot from page to page.
#include <kelmar/Hashtable.h>

namespace kelmar {

unsigned int NameHash1(const char *key)
{
    unsigned int h = 52145;
    for (const char *c = key; *c; ++c)
        h = ((h * 2) ^ static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(*c)))) & 0xFFFFu;
    return h;
}

unsigned int NameHash2(const char *key)
{
    unsigned int h = 1234567;
    for (const char *c = key; *c; ++c)
        h = (h * 2) ^ static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(*c)));
    return h % 65535u;
}

} // namespace kelmar
