// A folder of small test units for the stand-in's own tests:
//   "counter": dialog step (int, 1), scale (2 floats, 0.5 2), colour
//     (choice red|green|blue), note (string); input "in" (float), output
//     "count" (int, += step at each execution), saved and loaded;
//   "thrower": makes its unit, then raises "test:thrown";
//   "caller": runs its successors, output "calls" (how many);
//   "raiser": raises "test:raised" when executed.
#ifndef KELMAR_TESTS_HOST_TESTFOLDER_H
#define KELMAR_TESTS_HOST_TESTFOLDER_H

#include <string>
#include <vector>

#include <dfx/standin.h>

namespace standintest {

// Adds the folder to the palette once.
void AddTestFolder();

// What a counter unit was created with.
struct Counter {
    int step = 0;
    double scale[2] = {0, 0};
    int colour = 0;
    std::string note;
    int count = 0;
    static int alive;
    Counter() { ++alive; }
    ~Counter() { --alive; }
};

} // namespace standintest

#endif
