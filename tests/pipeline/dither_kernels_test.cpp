#include "pipeline/dither_kernels.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

class DitherKernelsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ditherTable = {};
        LoadDitherKernels();
    }
};

TEST_F(DitherKernelsTest, TableHoldsTheSeventeenMethodsInListOrder) {
    std::string names;
    for (std::size_t i = 0; i < kDitherMethodCount; ++i) {
        names += ditherTable[i].name + "|";
    }
    EXPECT_EQ(names,
              "None|Simple|Simple 2|Atkinson|Burkes|Floyd-Steinberg|Floyd-Steinberg (False)|"
              "Floyd-Steinberg (Fan Modified)|Jarvis-Judice-Ninke|Sierra-2-4A|Sierra2|Sierra3|Shiau-Fan|"
              "Shiau-Fan (Varn Modified)|Stevenson-Arce|Stucki|Stucki (Varn Modified)|");
    for (std::size_t i = kDitherMethodCount; i < ditherTable.size(); ++i) {
        EXPECT_TRUE(ditherTable[i].name.empty()) << i;
        EXPECT_EQ(ditherTable[i].width * ditherTable[i].height, 0) << i;
    }
}

TEST_F(DitherKernelsTest, StoredFormIsLittleEndianRecordsEndingWithNone) {
    const auto bytes = StoredDitherKernels();
    ASSERT_EQ(bytes.size(), 1106u);
    // First record: index 1, "Simple", 2 x 2, cells X 1/2 1/2 0.
    const std::uint8_t simple[] = {1,    'S',  'i',  'm',  'p',  'l',  'e',  0,    2,    0,
                                   2,    0,    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x3F,
                                   0x00, 0x00, 0x00, 0x3F, 0,    0,    0,    0};
    ASSERT_GE(bytes.size(), sizeof simple);
    EXPECT_EQ(std::memcmp(bytes.data(), simple, sizeof simple), 0);
    // Last record: index 0, "None", 1 x 1, the current pixel alone.
    const std::uint8_t none[] = {0, 'N', 'o', 'n', 'e', 0, 1, 0, 1, 0, 0x00, 0x00, 0x80, 0x3F};
    EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - sizeof none, none, sizeof none), 0);
}

struct Expected {
    int index;
    int width;
    int height;
    int origin;
    double sum;
};

TEST_F(DitherKernelsTest, ShapesOriginsAndWeightSums) {
    const Expected expected[] = {
        {0, 1, 1, 0, 0.0},  {1, 2, 2, 0, 1.0},  {2, 2, 2, 0, 1.0},  {3, 4, 3, 1, 0.75}, {4, 5, 2, 2, 1.0},
        {5, 3, 2, 1, 1.0},  {6, 2, 2, 0, 1.0},  {7, 4, 2, 2, 1.0},  {8, 5, 3, 2, 1.0},  {9, 3, 2, 1, 1.0},
        {10, 5, 2, 2, 1.0}, {11, 5, 3, 2, 1.0}, {12, 5, 2, 3, 1.0}, {13, 4, 2, 2, 1.0}, {14, 7, 4, 3, 1.0},
        {15, 5, 3, 2, 1.0}, {16, 8, 5, 3, 1.0}};
    for (const Expected& e : expected) {
        const DitherKernel& kernel = ditherTable[static_cast<std::size_t>(e.index)];
        EXPECT_EQ(kernel.width, e.width) << kernel.name;
        EXPECT_EQ(kernel.height, e.height) << kernel.name;
        const int origin = KernelOriginColumn(kernel);
        EXPECT_EQ(origin, e.origin) << kernel.name;
        double sum = 0;
        for (int r = 0; r < kernel.height; ++r) {
            for (int c = 0; c < kernel.width; ++c) {
                const float cell = kernel.cells[static_cast<std::size_t>(r * kernel.width + c)];
                if (r == 0 && c == origin) {
                    EXPECT_EQ(cell, 1.0F) << kernel.name;
                    continue;
                }
                if (r == 0 && c < origin) {
                    EXPECT_EQ(cell, 0.0F) << kernel.name << ": a share would reach a quantised pixel";
                }
                EXPECT_GE(cell, 0.0F) << kernel.name;
                EXPECT_LT(cell, 1.0F) << kernel.name;
                sum += cell;
            }
        }
        EXPECT_NEAR(sum, e.sum, 1e-6) << kernel.name;
        for (std::size_t i = static_cast<std::size_t>(kernel.width * kernel.height); i < kernel.cells.size();
             ++i) {
            EXPECT_EQ(kernel.cells[i], 0.0F) << kernel.name;
        }
    }
}

// Each weight is the single-precision value nearest to its fraction: no float lies
// closer to the exact value than the one stored.
TEST_F(DitherKernelsTest, WeightsAreTheNearestSinglePrecisionValues) {
    const struct {
        int method;
        int cell;
        int numerator;
        int denominator;
    } cases[] = {{8, 3, 7, 48},  {2, 1, 2, 5},   {14, 5, 32, 200},
                 {15, 3, 8, 42}, {16, 4, 8, 52}, {5, 2, 7, 16}};
    for (const auto& c : cases) {
        const float stored =
            ditherTable[static_cast<std::size_t>(c.method)].cells[static_cast<std::size_t>(c.cell)];
        const long double exact = static_cast<long double>(c.numerator) / c.denominator;
        const long double error = std::fabs(static_cast<long double>(stored) - exact);
        EXPECT_LE(error, std::fabs(static_cast<long double>(std::nextafter(stored, 1.0F)) - exact));
        EXPECT_LE(error, std::fabs(static_cast<long double>(std::nextafter(stored, 0.0F)) - exact));
    }
}

} // namespace
