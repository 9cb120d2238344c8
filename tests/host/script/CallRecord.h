// A script call record for the tests, filled argument by argument, run
// through kelmar_invoke as a host runs it, and the fixture of the script
// tests.
#ifndef KELMAR_TESTS_HOST_CALLRECORD_H
#define KELMAR_TESTS_HOST_CALLRECORD_H

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "HostTestSupport.h"
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

// A universe "ju" and a scene "js" of a data file made through the script
// entries; what a test makes with Made is freed by its entries at the end.
class ScriptEntries : public HostTest {
public:
    void SetUp() override
    {
        HostTest::SetUp();
        const std::string file = DataFile(SceneFile());
        universe = Made(Call().Text("ju").Int(100).Int(100).Int(100).Int(1200), "Universe");
        scene = Made(Call().Text("js").Text("ju").Text(file.c_str()).None().Float(1).None(), "Scene");
    }
    void TearDown() override
    {
        for (auto it = made.rbegin(); it != made.rend(); ++it) Call(it->second).Invoke(it->first.c_str());
        HostTest::TearDown();
    }
    virtual const char *SceneFile() const { return "joints.px"; }
    // An object from its constructor, freed by its destructor at the end.
    void *Made(Call call, const std::string &constructor)
    {
        EXPECT_EQ(0, call.Invoke(constructor.c_str())) << constructor << ": " << call.Error();
        const size_t cut = constructor.rfind('_') == std::string::npos ? 0 : constructor.rfind('_') + 1;
        const std::string prefix = constructor.substr(0, cut) == "Robot_ref_" ? "Robot_" : constructor.substr(0, cut);
        made.emplace_back(prefix + "FREE_" + constructor.substr(cut), call.Record().self);
        return call.Record().self;
    }
    void *Joint(const char *constructor, const char *name) { return Made(Call().Text("js").Text(name), constructor); }
    float FloatOf(Call call, const char *entry)
    {
        EXPECT_EQ(0, call.Invoke(entry)) << entry << ": " << call.Error();
        return call.Record().result.f;
    }
    std::vector<float> Position(void *solid)
    {
        std::vector<float> p(3);
        EXPECT_EQ(0, Call(solid).Floats(p).Invoke("Solid_GetPosition"));
        return p;
    }

    void *universe = nullptr, *scene = nullptr;
    std::vector<std::pair<std::string, void *>> made;
};

} // namespace hosttest

#endif
