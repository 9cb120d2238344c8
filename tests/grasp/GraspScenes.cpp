#include "GraspScenes.h"

#include "GraspTestSupport.h"

namespace grasptest {

std::string Hand3WithBall(bool frozenBall)
{
    return R"(<WORLD><GRAVITY>0, 0, 0</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>
<IMPORT hand><NAME>)" +
           Example("hand3") + R"(</NAME><EULER>3.141592653589793, 0, 0</EULER></IMPORT>
<GEOMETRIES><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES>
<SOLID ball><GEOMETRY_ID>ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>0, 0, -11</POS><FROZEN>)" +
           (frozenBall ? "1" : "0") + "</FROZEN></SOLID>";
}

} // namespace grasptest
