// The robot layer's first scene, built by code: a wooden block dropped on a
// wooden floor comes to rest on it. Units: cm, kg, s.
#include <cstdio>

#include <kelmar/RbdWorld.h>
#include <kelmar/kelmar.h>

int main()
{
    kelmar::Universe universe; // capacities and materials by default
    kelmar::Scene scene;       // a scene filled by code
    universe.AddScene(&scene);
    RbdWorldSetGravity(universe.GetWorld(), 0, 0, -981); // scenes set their gravity
    kelmar::AddGround(&scene, universe.GetMaterialId("wood"));
    double pose[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 20, 1}};
    kelmar::SolidSpec block;
    block.name = "block";
    block.material = universe.GetMaterialId("wood");
    block.pose = pose; // 20 cm up
    kelmar::Solid *solid = kelmar::AddBox(&scene, 10, 10, 10, block);
    for (int i = 0; i < 100; ++i) universe.step(); // 5 s of 0.05 s
    double p[3];
    solid->GetPosition(p);
    std::printf("the block rests at z = %.2f cm after %.1f s\n", p[2], universe.time);
    universe.DelScene(&scene);
    return p[2] > 4.9 && p[2] < 5.1 ? 0 : 1;
}
