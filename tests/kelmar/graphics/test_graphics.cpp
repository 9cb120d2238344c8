// Drawing through a recording backend: pass rules, the mark colour and the
// pick line; colour names and generated default colours.

#include "KelmarTestSupport.h"

namespace {

// The drawing backend while it lives.
struct Recorder : kelmar::DrawBackend {
    Recorder() : previous(kelmar::SetDrawBackend(this)) {}
    ~Recorder() override { kelmar::SetDrawBackend(previous); }
    kelmar::DrawBackend *previous;
    std::vector<std::string> calls;
    std::vector<float> alphas;
    std::vector<std::string> textures;
    void PrepareDrawing(unsigned int flags) override { calls.push_back("prepare " + std::to_string(flags)); }
    void FinishDrawing(unsigned int) override { calls.push_back("finish"); }
    void DrawObject(const kelmar::GraphicsPrimitive &p, const double (*base)[4], const double (*)[4],
                    const kelmar::DrawMaterial &m, const char *texture, unsigned int) override
    {
        calls.push_back("object " + std::to_string(p.kind()) + (base ? " placed" : ""));
        textures.push_back(texture ? texture : "");
        alphas.push_back(m.ambient[3]);
        EXPECT_EQ(m.back[1], 1.0f); // back faces green
    }
    void DrawLine(const double *, const double *, const float *) override { calls.push_back("line"); }
    void DrawArrow(const double (*)[4], double, double, const float *) override { calls.push_back("arrow"); }
    void DrawCone(const double (*)[4], double, double, const float *) override { calls.push_back("cone"); }
    void DrawSphere(const double (*)[4], double, const float *) override { calls.push_back("sphere"); }
};

// Glass (alpha 0.5) is drawn in the translucent pass only, metal in the
// opaque pass only; the pick line shows in the translucent pass.
TEST(Graphics, PassesDrawEachObjectOnceByItsAlpha)
{
    kelmartest::Rig rig;
    Recorder recorder;
    kelmar::Universe &universe = rig.universe;
    double tm[4][4];
    const double away[3] = {20, 0, 0};
    kelmartest::PoseAboutY(tm, 0, away);
    kelmar::AddSphere(&rig.scene, 2, kelmar::SolidSpec());   // metal
    kelmar::AddBox(&rig.scene, 2, 2, 2, {"", 1, -1, 0, tm}); // glass
    universe.draw(kelmar::kDrawOpaquePass);
    ASSERT_EQ(recorder.alphas.size(), 1u);
    EXPECT_EQ(recorder.alphas[0], 1.0f);
    recorder.alphas.clear();
    const double from[3] = {0, 0, 10}, to[3] = {0, 0, -10};
    ASSERT_TRUE(universe.BeginPicking(from, to));
    universe.draw(kelmar::kDrawTranslucentPass);
    ASSERT_EQ(recorder.alphas.size(), 1u);
    EXPECT_EQ(recorder.alphas[0], 0.5f);
    EXPECT_EQ(recorder.calls.back(), "finish");
    EXPECT_EQ(recorder.calls[recorder.calls.size() - 2], "line");
    universe.EndPicking();
}

TEST(Graphics, MarkingTurnsASolidGreenAndBackWithItsAlpha)
{
    kelmartest::Rig rig;
    kelmar::Solid *box = kelmar::AddBox(&rig.scene, 2, 2, 2, {"", 1}); // glass
    float c[4];
    rig.universe.SetMarkedSolid(box);
    box->GetGraphics()->GetColor(c);
    EXPECT_EQ(std::vector<float>(c, c + 4), (std::vector<float>{0, 1, 0, 0.5f}));
    rig.universe.SetMarkedSolid(nullptr);
    box->GetGraphics()->GetColor(c);
    EXPECT_EQ(std::vector<float>(c, c + 4), (std::vector<float>{1.0f, 0.89f, 0.87f, 0.5f}));
}

// A mesh takes no texture: the request is refused with its message, and
// the mesh is still drawn, untextured, where textures are shown.
TEST(Graphics, AMeshRefusesATextureAndStillDraws)
{
    Recorder recorder;
    std::unique_ptr<kelmar::GraphicsPrimitive> mesh(kelmar::GraphicsPrimitive::Mesh(nullptr));
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    kelmar::Graphics graphics(mesh.get(), grey);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(graphics.SetTexture("wood.jpg"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No textures on meshes supported.\n");
    EXPECT_EQ(graphics.GetTexture(), nullptr);
    graphics.draw(kelmar::kDrawOpaquePass | kelmar::kDrawTexture);
    EXPECT_EQ(recorder.textures, std::vector<std::string>{""});
}

TEST(Graphics, ColourNamesAndGeneratedColours)
{
    struct Row {
        const char *name;
        float r, g, b;
    };
    const Row rows[] = {{"red", 1, 0, 0},
                        {"Dark Green", 0, 100 / 255.0f, 0},
                        {"NAVY", 0, 0, 128 / 255.0f},
                        {"gray", 190 / 255.0f, 190 / 255.0f, 190 / 255.0f}};
    for (const Row &row : rows) {
        float rgba[4];
        ASSERT_TRUE(kelmar::FindColor(row.name, rgba)) << row.name;
        EXPECT_EQ(std::vector<float>(rgba, rgba + 4), (std::vector<float>{row.r, row.g, row.b, 1})) << row.name;
    }
    float rgba[4];
    EXPECT_FALSE(kelmar::FindColor("ultraviolet", rgba));
    kelmar::Graphics::ResetDefaultColor();
    float first[4], again[4];
    kelmar::Graphics::GetDefaultColor(first);
    for (int i = 1; i < 30; ++i) kelmar::Graphics::GetDefaultColor(again);
    kelmar::Graphics::GetDefaultColor(again); // the 31st: hue 0 again
    EXPECT_EQ(std::vector<float>(first, first + 4), std::vector<float>(again, again + 4));
}

} // namespace
