// Meshes in Wavefront OBJ files: round trips, the writer's exact text,
// what the reader accepts, and its messages for files it cannot use.
#include "collision/collision_support.h"
#include "common/ReadFile.h"

namespace {

std::string TempPath(const std::string &name)
{
    return ::testing::TempDir() + "kelmar_mesh_" + name;
}

std::string WriteFile(const std::string &name, const std::string &text)
{
    std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::vector<std::array<Vec, 3>> Triangles(CdxGeometryID mesh)
{
    std::vector<std::array<Vec, 3>> out;
    for (int t = 0; t < CdxTriangleMeshGetTriangleCount(mesh); ++t) {
        PxReal *a, *b, *c;
        CdxTriangleMeshGetTriangleVertexPtrs(mesh, t, &a, &b, &c);
        out.push_back({ToVec(a), ToVec(b), ToVec(c)});
    }
    return out;
}

} // namespace

// The writer writes vertices then faces with full precision; what it wrote
// reads back as the same triangles over shared vertices.
TEST_F(MeshTest, WritingAndReadingGivesTheExactTextAndTheSameTriangles)
{
    PxReal a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0.1, 1, 0}, d[3] = {0, 0, -2.5};
    CdxGeometryID mesh = Own(CdxTriangleMeshCreate(2));
    CdxTriangleMeshAddTriangle(mesh, a, b, c);
    PxReal copyOfA[3] = {0, 0, 0};
    CdxTriangleMeshAddTriangle(mesh, copyOfA, d, b);
    std::string path = TempPath("exact.obj");
    ASSERT_EQ(1, CdxuTriangleMeshWriteToObj(mesh, path.c_str()));
    EXPECT_EQ("# 2 triangles\n"
              "v 0 0 0\n"
              "v 1 0 0\n"
              "v 0.10000000000000001 1 0\n"
              "v 0 0 -2.5\n"
              "f 1 2 3\n"
              "f 1 4 2\n",
              testsupport::ReadFile(path));
    CdxGeometryID read = Own(CdxuTriangleMeshCreateFromObj(path.c_str()));
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(1, CdxTriangleMeshIsBuilt(read));
    EXPECT_EQ(Triangles(mesh), Triangles(read)) << "every coordinate exactly";
    int vertexCount = 0;
    EXPECT_NE(nullptr, CdxTriangleMeshGetVertexArray(read, &vertexCount));
    EXPECT_EQ(4, vertexCount) << "equal corners are one vertex";
    std::remove(path.c_str());

    EXPECT_EQ(0, CdxuTriangleMeshWriteToObj(mesh, "/nonexistent-directory/mesh.obj"));
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ("CdxuTriangleMeshWriteToObj: Cannot open file /nonexistent-directory/mesh.obj.\n", warnings.back());
}

TEST_F(MeshTest, TheReaderFansPolygonsIgnoresWhatIsNotGeometryAndSharesEqualCorners)
{
    std::string path = WriteFile("polygons.obj", "# a unit square and a pentagon\r\n"
                                                 "mtllib nothing.mtl\n"
                                                 "o square\n"
                                                 "v 0 0 0\r\n"
                                                 "v 1 0 0\n"
                                                 "v\t1 1 0\n"
                                                 "  v 0 1 0 1.0\n"
                                                 "vn 0 0 1\n"
                                                 "vt 0.5 0.5\n"
                                                 "s off\n"
                                                 "f 1/1/1 2/2/1 3/3/1 4//1\n"
                                                 "v 0 0 1\n"
                                                 "v 1 0 1\n"
                                                 "v 2 1 1\n"
                                                 "v 1 2 1\n"
                                                 "v 0 1 1\n"
                                                 "f -5 -4 -3 -2 -1\n"
                                                 "v 1 -0 0\n"
                                                 "f 10 3 4\n");
    CdxGeometryID mesh = CdxuTriangleMeshCreateFromObj(path.c_str());
    ASSERT_NE(nullptr, mesh);
    Own(mesh);
    auto triangles = Triangles(mesh);
    ASSERT_EQ(6u, triangles.size()) << "a quad gives 2 triangles, a pentagon 3";
    std::array<Vec, 3> first = {Vec{0, 0, 0}, Vec{1, 0, 0}, Vec{1, 1, 0}};
    std::array<Vec, 3> second = {Vec{0, 0, 0}, Vec{1, 1, 0}, Vec{0, 1, 0}};
    std::array<Vec, 3> last = {Vec{0, 0, 1}, Vec{1, 2, 1}, Vec{0, 1, 1}};
    EXPECT_EQ(first, triangles[0]);
    EXPECT_EQ(second, triangles[1]);
    EXPECT_EQ(last, triangles[4]);
    EXPECT_TRUE(fatals.empty());
    // A corner repeated under a new number, -0 for 0, is the same vertex.
    int vertexCount = 0;
    CdxTriangleMeshGetVertexArray(mesh, &vertexCount);
    EXPECT_EQ(9, vertexCount);
    PxReal *a0, *b0, *c0, *a5, *b5, *c5;
    CdxTriangleMeshGetTriangleVertexPtrs(mesh, 0, &a0, &b0, &c0);
    CdxTriangleMeshGetTriangleVertexPtrs(mesh, 5, &a5, &b5, &c5);
    EXPECT_EQ(b0, a5);
    EXPECT_EQ(c0, b5);
    std::remove(path.c_str());
    // The comparison and hash the reader shares vertices by.
    PxReal a[3] = {0.0, -0.0, 1.5}, b[3] = {-0.0, 0.0, 1.5}, c[3] = {0.0, 0.0, 1.25};
    EXPECT_EQ(0, CdxuTriangleMeshCompareVectors(a, b));
    EXPECT_EQ(CdxuTriangleMeshVectorHashFn(a, 1021), CdxuTriangleMeshVectorHashFn(b, 1021));
    EXPECT_GT(CdxuTriangleMeshCompareVectors(a, c), 0);
    EXPECT_LT(CdxuTriangleMeshCompareVectors(c, a), 0);
    EXPECT_LT(CdxuTriangleMeshVectorHashFn(c, 7), 7u);
}

TEST_F(MeshTest, TheReaderNamesTheLineOfAMalformedFileAndKeepsNothing)
{
    struct Case {
        std::string text;
        std::string message; // %s stands for the file's path
    };
    const Case cases[] = {
        {"v 0 0 0\nv 1 2\n", "CdxuTriangleMeshCreateFromObj: Vertex incomplete: v 1 2\nFile %s, line 2.\n"},
        {"v 0 0 0\nv 1 x 2\n", "CdxuTriangleMeshCreateFromObj: Vertex incomplete: v 1 x 2\nFile %s, line 2.\n"},
        {"v 0 0 nan\n", "CdxuTriangleMeshCreateFromObj: Vertex not finite: v 0 0 nan\nFile %s, line 1.\n"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\n# comment\nf 1 2\n",
         "CdxuTriangleMeshCreateFromObj: Face incomplete: f 1 2\nFile %s, line 5.\n"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n",
         "CdxuTriangleMeshCreateFromObj: Face index out of range: f 1 2 4\nFile %s, line 4.\n"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 0\n",
         "CdxuTriangleMeshCreateFromObj: Face index out of range: f 1 2 0\nFile %s, line 4.\n"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 two 3\n",
         "CdxuTriangleMeshCreateFromObj: Face index not a number: f 1 two 3\nFile %s, line 4.\n"},
        // Vertices only: nothing to build.
        {"v 0 0 0\nv 1 0 0\n", "Cdx: TriangleMesh has no triangles, cannot build triangle mesh.\n"},
    };
    int number = 0;
    for (const Case &c : cases) {
        std::string path = WriteFile("bad" + std::to_string(number++) + ".obj", c.text);
        warnings.clear();
        EXPECT_EQ(nullptr, CdxuTriangleMeshCreateFromObj(path.c_str())) << c.text;
        EXPECT_TRUE(fatals.empty()) << "a bad file is not fatal";
        ASSERT_EQ(1u, warnings.size()) << c.text;
        char expected[512];
        std::snprintf(expected, sizeof expected, c.message.c_str(), path.c_str());
        EXPECT_EQ(expected, warnings[0]);
        std::remove(path.c_str());
    }

    warnings.clear();
    EXPECT_EQ(nullptr, CdxuTriangleMeshCreateFromObj("no-such-mesh.obj"));
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("CdxuTriangleMeshCreateFromObj: Cannot open file no-such-mesh.obj.\n", warnings[0]);
}
