// A script call record for the tests, filled argument by argument, run
// through kelmar_invoke as a host runs it.
#ifndef KELMAR_TESTS_HOST_CALLRECORD_H
#define KELMAR_TESTS_HOST_CALLRECORD_H

#include <cstring>
#include <string>
#include <vector>

#include "script/ScriptCall.h"

namespace hosttest {

class Call {
public:
    explicit Call(void *self = nullptr)
    {
        std::memset(&call_, 0, sizeof call_);
        call_.self = self;
    }
    Call &Int(int i) { return Add(KELMAR_INT).i = i, *this; }
    Call &Float(float f) { return Add(KELMAR_FLOAT).f = f, *this; }
    Call &Text(const char *text) { return Add(KELMAR_TEXT).text = text, *this; }
    Call &None() { return Add(KELMAR_NONE), *this; }
    Call &Object(void *object) { return Add(KELMAR_OBJECT).object = object, *this; }
    Call &Function(KelmarFunction f) { return Add(KELMAR_FUNCTION).function = f, *this; }
    Call &Floats(std::vector<float> &values)
    {
        KelmarArg &a = Add(KELMAR_FLOATS);
        a.data = values.data();
        a.count = static_cast<int>(values.size());
        return *this;
    }
    int Invoke(const char *name) { return kelmar_invoke(name, &call_); }
    const KelmarCall &Record() const { return call_; }
    std::string Error() const { return std::string(call_.errorId) + " " + call_.errorText; }

private:
    KelmarArg &Add(int kind)
    {
        KelmarArg &a = call_.args[call_.argc++];
        a.kind = kind;
        return a;
    }
    KelmarCall call_;
};

} // namespace hosttest

#endif
