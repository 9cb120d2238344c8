// The grasp and null-space units against the grasp library: the grasp map
// and wrenches of the contacts on a block, and null spaces that the
// matrix takes to zero.
#include <random>

#include <kelmar/GraspMap.h>

#include "HostTestSupport.h"

namespace hosttest {
namespace {

using kelmar::DfxScene;
using kelmar::Grasp;

class GraspUnits : public HostTest {
public:
    // The lower block, resting under the upper one, and its contacts.
    void Resting()
    {
        Blocks();
        Make("solid|ref", "block", {"scene", "block_a"});
        Make("grasp", "grasp");
        ASSERT_TRUE(dfx::Connect(At("block"), 0, At("grasp"), 0));
        ASSERT_TRUE(dfx::Connect(At("block.GetContacts"), 0, At("grasp"), 1));
        Run("universe.step", 40);
        Run("block.GetContacts");
        block = Object<DfxScene>("scene")->LookupSolid("block_a");
        contacts.reset(block->GetContacts(0));
    }
    kelmar::Solid *block = nullptr;
    std::unique_ptr<kelmar::ContactList> contacts;
};

// Each of the dim vectors of basis (component j of vector k at j * dim + k)
// is taken to zero by the 6-row matrix of the columns given.
void ExpectTakenToZero(const std::vector<float> &matrix, const std::vector<float> &basis, int columns, int dim,
                       double tolerance)
{
    for (int k = 0; k < dim; ++k)
        for (int row = 0; row < 6; ++row) {
            double sum = 0;
            for (int j = 0; j < columns; ++j)
                sum += matrix[static_cast<size_t>(j * 6 + row)] * basis[static_cast<size_t>(j * dim + k)];
            EXPECT_NEAR(0.0, sum, tolerance) << "vector " << k << " row " << row;
        }
}

TEST_F(GraspUnits, TheGraspMapIsTheLibrarysInFloats)
{
    Resting();
    Run("grasp.Graspmap");
    Grasp grasp(block, contacts.get());
    int columns = 0;
    const double *map = grasp.getGraspMap(columns);
    ASSERT_GE(columns, 24) << "eight contacts with friction, three columns each";
    EXPECT_EQ((std::vector<float>{static_cast<float>(columns)}), dfx::OutputFloats(At("grasp.Graspmap"), 1));
    EXPECT_EQ(std::vector<float>(map, map + 6 * columns), dfx::OutputFloats(At("grasp.Graspmap"), 0));
}

TEST_F(GraspUnits, TheWrenchesAreTheLibrarysWithAtLeastThreeSides)
{
    Resting();
    for (int sides : {1, 3, 8}) {
        ASSERT_TRUE(dfx::SetDialog(At("grasp.WrenchSpace_L1"), {std::to_string(sides)}));
        Run("grasp.WrenchSpace_L1");
        std::vector<double> wrenches;
        const int count = Grasp(block, contacts.get()).WrenchSpaceL1(wrenches, std::max(3, sides));
        EXPECT_EQ(1 + std::max(3, sides) * contacts->count, count) << "the zero wrench and every cone's edges";
        EXPECT_EQ((std::vector<float>{static_cast<float>(count)}), dfx::OutputFloats(At("grasp.WrenchSpace_L1"), 1));
        EXPECT_EQ(std::vector<float>(wrenches.begin(), wrenches.end()),
                  dfx::OutputFloats(At("grasp.WrenchSpace_L1"), 0));
    }
}

TEST_F(GraspUnits, WithoutASolidOrAListTheCountIsZero)
{
    Make("grasp", "grasp");
    Run("grasp.Graspmap");
    Run("grasp.WrenchSpace_L1");
    EXPECT_EQ((std::vector<float>{0}), dfx::OutputFloats(At("grasp.Graspmap"), 1));
    EXPECT_EQ((std::vector<float>{0}), dfx::OutputFloats(At("grasp.WrenchSpace_L1"), 1));
}

// The block's grasp map through the null-space unit: every basis vector
// is taken to zero by the map, and there are columns - 6 of them (the
// map has full rank).
TEST_F(GraspUnits, TheNullSpaceOfTheGraspMapIsTakenToZero)
{
    Resting();
    Make("nullspace", "null");
    ASSERT_TRUE(dfx::Connect(At("grasp.Graspmap"), 0, At("null"), 0));
    ASSERT_TRUE(dfx::Connect(At("grasp.Graspmap"), 1, At("null"), 1));
    Run("grasp.Graspmap");
    Run("null");
    const std::vector<float> map = dfx::OutputFloats(At("grasp.Graspmap"), 0);
    const int columns = static_cast<int>(map.size() / 6);
    const int dim = static_cast<int>(dfx::OutputFloats(At("null"), 1).at(0));
    EXPECT_EQ(columns - 6, dim);
    const std::vector<float> basis = dfx::OutputFloats(At("null"), 0);
    ASSERT_EQ(static_cast<size_t>(dim * columns), basis.size());
    double scale = 0;
    for (float g : map) scale = std::max(scale, static_cast<double>(std::fabs(g)));
    ExpectTakenToZero(map, basis, columns, dim, 1e-4 * scale * columns);
}

// Random 6 x 9 matrices of full and of lower rank: the unit gives what
// the library gives, and the matrix takes each vector to zero.
TEST_F(GraspUnits, NullSpacesOfSixByNineMatricesAreTheLibrarys)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1, 1);
    Make("nullspace", "null");
    for (int rank : {6, 4}) {
        std::vector<float> matrix(54);
        for (int j = 0; j < 9; ++j)
            for (int row = 0; row < 6; ++row)
                matrix[static_cast<size_t>(j * 6 + row)] = row < rank
                                                               ? value(random)
                                                               : matrix[static_cast<size_t>(j * 6 + row - rank)];
        for (int i = 0; i < 2; ++i) dfx::DeleteUnit(dfx::Find(program, "#1"));
        Feed("null", "matrix", std::vector<double>(matrix.begin(), matrix.end()));
        Feed("null", "columns", {9});
        Run("null");
        std::vector<float> expected = matrix;
        const int dim = Grasp::ComputeNullSpace(expected, 6, 9, 1e-6f);
        EXPECT_EQ(9 - rank, dim);
        EXPECT_EQ((std::vector<float>{static_cast<float>(dim)}), dfx::OutputFloats(At("null"), 1));
        const std::vector<float> basis = dfx::OutputFloats(At("null"), 0);
        ASSERT_EQ(static_cast<size_t>(9 * dim), basis.size());
        expected.resize(basis.size());
        EXPECT_EQ(expected, basis);
        ExpectTakenToZero(matrix, basis, 9, dim, 1e-4);
    }
}

TEST_F(GraspUnits, AMatrixThatDoesNotFitItsColumnsIsAnError)
{
    Make("nullspace", "null");
    Feed("null", "matrix", std::vector<double>(10, 1.0));
    Feed("null", "columns", {3});
    Run("null");
    EXPECT_EQ(std::vector<std::string>{"nullspace: wrong input dimension \n for matrix (3 x 3) = 10\n"},
              diagnostics.Texts(DFX_ERROR));
    EXPECT_EQ((std::vector<float>{0}), dfx::OutputFloats(At("null"), 1));
}

} // namespace
} // namespace hosttest
