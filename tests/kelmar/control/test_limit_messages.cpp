// Refused and clamped commands and bad controller types: the exact
// messages, each printed once until its condition clears; and the LIMIT
// element's round trip through a saved status.

#include <cmath>
#include <functional>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

// Each row: commands to a hinge j limited to [-1, 1] (what the scene is told),
// or an element read beside it (the reader's messages), and all that is said.
TEST(LimitMessages, EachIsExactAndPrintedOnceUntilItsConditionClears)
{
    using Commands = std::function<void(Rig &, kelmar::Limit *)>;
    const struct {
        Commands commands;
        const char *element, *expected;
    } rows[] = {
        {[](Rig &, kelmar::Limit *l) { // a manual lock refuses every move, once
             l->SetLock(true);
             l->SetValueOpt(0.5, 1);
             l->SetValueOpt(0.5, 1);
             l->SetValueCtrl(0.5, 1);
             l->SetValueOptTrial(0.5, 1);
             l->SetSpeed(1);
             if (l->Moveable()) std::fputs("moveable!\n", stderr);
         },
         nullptr, "j: cannot move locked joint!\n"},
        {[](Rig &, kelmar::Limit *l) { // unlocking re-arms the message
             l->SetLock(true);
             l->SetValueOpt(0.5, 1);
             l->SetLock(false);
             l->SetValueOpt(0.5, 1);
             l->SetLock(true);
             l->SetSpeed(1);
         },
         nullptr, "j: cannot move locked joint!\nj: cannot move locked joint!\n"},
        {[](Rig &r, kelmar::Limit *l) { // a lock the joint set itself at rest is released silently
             l->SetController(new kelmar::LinearController(50));
             for (int k = 0; k < 100; ++k, r.Steps(1)) l->SetValueCtrl(0.3, 1);
             if (!l->IsAutoLocked()) std::fputs("not at rest!\n", stderr);
             for (int k = 0; k < 100; ++k, r.Steps(1)) l->SetValueOpt(-0.2, 1);
             if (std::fabs(l->GetPosition() + 0.2) > 1e-3) std::fputs("not moved!\n", stderr);
         },
         nullptr, ""},
        {[](Rig &r, kelmar::Limit *l) { // a target not finite is refused, said once until a finite one
             l->SetValueOpt(NAN, 1);
             l->SetValueCtrl(INFINITY, 1);
             r.Steps(1);
             if (!std::isfinite(l->GetPosition())) std::fputs("driven to nowhere!\n", stderr);
             l->SetValueOpt(0.5, 1);
             l->SetValueOptTrial(-INFINITY, 1);
         },
         nullptr, "j: target nan is not finite; ignored\nj: target -inf is not finite; ignored\n"},
        {[](Rig &, kelmar::Limit *l) { // out-of-range targets are clamped, said once
             l->SetValueOpt(7, 1);
             l->SetValueCtrl(7, 1);
             if (l->FitIntoLimits(7, true) != 1) std::fputs("not clamped!\n", stderr);
         },
         nullptr, "j: value  7.00 out of range [-1.00,  1.00]\n"},
        {[](Rig &, kelmar::Limit *l) { // a target in range re-arms it
             l->SetValueOpt(7, 1);
             l->SetValueOpt(0.5, 1);
             l->SetValueOptTrial(-3.25, 1);
             if (l->FitIntoLimits(-9, false) != -1) std::fputs("not clamped!\n", stderr);
         },
         nullptr, "j: value  7.00 out of range [-1.00,  1.00]\nj: value -3.25 out of range [-1.00,  1.00]\n"},
        {[](Rig &, kelmar::Limit *l) { // a joint's reading a hair past its stop, handed back, is clamped silently
             for (int k = 0; k < 50; ++k) l->SetValueOpt(-1.0049, 1);
             if (l->FitIntoLimits(1.004, true) != 1) std::fputs("not clamped!\n", stderr);
         },
         nullptr, ""},
        {[](Rig &, kelmar::Limit *l) { // targets wandering about a stop say it once at most
             for (int k = 0; k < 50; ++k) l->SetValueOpt(k % 2 ? 0.999 : 1.004, 1);
             l->SetValueOpt(1.2, 1);
             for (int k = 0; k < 50; ++k) l->SetValueOpt(k % 2 ? 1.004 : 1.1, 1);
             l->SetValueOpt(0.99, 1);
             l->SetValueOpt(1.006, 1);
         },
         nullptr, "j: value  1.20 out of range [-1.00,  1.00]\nj: value  1.01 out of range [-1.00,  1.00]\n"},
        {[](Rig &r, kelmar::Limit *) { // the rest of the element still counts
             kelmar::Limit *k = r.limit("k");
             if (!k || k->maxSpeed != 3 || std::string(k->GetControllerType()) != "LINEAR") std::fputs("!", stderr);
         },
         "<HINGE k><SOLID_IDS>wheel, WORLD</SOLID_IDS><LIMIT><CONTROLLER FUZZY><PARAMS>2</PARAMS></CONTROLLER>"
         "<MAXSPEED>3</MAXSPEED></LIMIT></HINGE>",
         "E:Unknown controller type, ignored.\n"},
    };
    for (const auto &row : rows) {
        Rig rig(std::string(kWheel) + kWheelHinge);
        rig.limit("j")->SetLimits(1, -1);
        std::string said = row.element ? Joined(rig.Load(row.element)) : "";
        const std::string err = StandardError([&] { row.commands(rig, rig.limit("j")); });
        said += rig.scene.warnings; // told through the scene
        EXPECT_EQ(said, row.expected) << (row.element ? row.element : "");
        EXPECT_EQ(err, "") << (row.element ? row.element : ""); // nor on standard error
    }
}

// Stops, bounds, controller, coordinate and lock come back from a saved
// status into a scene freshly read from the same file, and save again to
// the same text.
TEST(LimitStatus, ASavedLimitReadsBackAndSavesTheSameText)
{
    const std::string limit = R"(<LIMIT><STOPS>-2, 8</STOPS><STIFFS>1e6, 2e6</STIFFS><DAMPS>3, 4</DAMPS>
        <RESTS>0.25, 0.75</RESTS><MAXFORCE>55</MAXFORCE><MAXSPEED>2.5</MAXSPEED><LOCKFORCE>7e4</LOCKFORCE>
        <CONTROLLER PID><PARAMS>4, 0.5</PARAMS></CONTROLLER></LIMIT>)";
    Rig first(std::string(kWheel) + "<HINGE j><SOLID_IDS>wheel, WORLD</SOLID_IDS><AXIS>0, 0, 1</AXIS>" + limit +
              "</HINGE>");
    ASSERT_TRUE(first.messages.empty()) << first.messages[0];
    kelmar::Limit *original = first.limit("j");
    double p[3];
    original->GetController()->GetParams(p);
    EXPECT_EQ(p[0], 4); // given
    EXPECT_EQ(p[2], 0); // not given: kept
    RbdBodySetAngularVelocity(first.solid("wheel")->GetBody(), 0, 0, 2.0);
    first.Steps(170); // past half a turn, so the angle has been unwrapped
    original->SetLock(true);
    first.Steps(5);
    ASSERT_TRUE(original->AutoLock()); // locked and at rest: the lock counts as the joint's own
    const std::string saved = StatusText(nullptr, first.scene);

    Rig second(std::string(kWheel) + kWheelHinge);
    LoadStatusText(nullptr, second.scene, saved);
    kelmar::Limit *restored = second.limit("j");
    EXPECT_EQ(StatusText(nullptr, second.scene), saved);
    EXPECT_NEAR(restored->GetPosition(), original->GetPosition(), 1e-12);
    EXPECT_GT(restored->GetPosition(), 3.3);
    EXPECT_TRUE(RbdLimitIsLocked(restored->GetRbdLimit()));
    EXPECT_TRUE(restored->IsAutoLocked());
    EXPECT_STREQ(restored->GetControllerType(), "PID");
}

} // namespace
