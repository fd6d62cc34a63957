#include "geometry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace numerics;

TEST(GeometryHelpers, ColumnMajorHelpers) {
    // Column-major: element (r, c) at r + 3c; this A has rows (1 2 3), (4 5 6), (7 8 10).
    const Mat3 a = {1, 4, 7, 2, 5, 8, 3, 6, 10};
    const Vec3 v = mul3(a, Vec3{1, 0, -1});
    EXPECT_EQ(v, (Vec3{-2, -2, -3}));

    const Mat3 b = {0, 1, 0, -1, 0, 0, 0, 0, 1};  // 90 degrees about z
    const Mat3 ab = mul3(a, b);
    // Column 0 of A*B is A times (0, 1, 0): A's column 1.
    EXPECT_EQ((Vec3{ab[0], ab[1], ab[2]}), (Vec3{2, 5, 8}));
    EXPECT_EQ((Vec3{ab[3], ab[4], ab[5]}), (Vec3{-1, -4, -7}));
    EXPECT_DOUBLE_EQ(det3(a), -3.0);
    EXPECT_DOUBLE_EQ(det3(b), 1.0);
    EXPECT_EQ(transpose3(transpose3(a)), a);
    EXPECT_DOUBLE_EQ(transpose3(a)[1], 2.0);

    const Mat4 t = makeTransform(b, {10, 20, 30});
    EXPECT_EQ(t[3], 0.0);
    EXPECT_EQ(t[15], 1.0);
    EXPECT_EQ(transformPoint(t, {1, 0, 0}), (Vec3{10, 21, 30}));
    EXPECT_EQ(transformPoint(kIdentity4, {1, 2, 3}), (Vec3{1, 2, 3}));
}

TEST(GeometryHelpers, FloatVectorHelpersReturnNewVectors) {
    const Vec3f v = {1, -2, 3};
    EXPECT_EQ(negate(v), (Vec3f{-1, 2, -3}));
    EXPECT_EQ(add(v, {1, 1, 1}), (Vec3f{2, -1, 4}));
    EXPECT_EQ(scale(v, 2), (Vec3f{2, -4, 6}));
    EXPECT_EQ(v, (Vec3f{1, -2, 3}));
}

class OrientationFile : public ::testing::Test {
protected:
    std::string path =
        (std::filesystem::temp_directory_path() / ("orientation_test_" + std::to_string(::getpid())))
            .string();
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    void write(const std::string& text) { std::ofstream(path) << text; }
    void TearDown() override { std::remove(path.c_str()); }
    static std::string numbers(int count, int first) {
        std::string s;
        for (int i = 0; i < count; ++i) s += std::to_string(first + i) + " ";
        return s;
    }
};

TEST_F(OrientationFile, MissingFileLeavesIdentity) {
    EXPECT_FALSE(readOrientationFile(path + ".missing", m));
    // So does a FIFO, refused at once instead of waited on.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(readOrientationFile(path, m));
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[12], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
}

TEST_F(OrientationFile, LastValidLineWinsAndInvalidLinesAreIgnored) {
    write(numbers(16, 100) + "\n"                            // valid
          + numbers(16, 200) + "trailing text\n"             // valid: text after 16 numbers
          + numbers(15, 300) + "\n"                          // 15 numbers
          + numbers(8, 400) + "nan " + numbers(7, 0) + "\n"  // not finite
          + "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\n" + numbers(16, 500) + std::string(1100, ' ') +
          "\n"  // longer than 1023
          + "# comment\n");
    EXPECT_TRUE(readOrientationFile(path, m));
    EXPECT_EQ(m[0], 200.0f);
    EXPECT_EQ(m[15], 215.0f);
}

TEST_F(OrientationFile, FileWithoutValidLineKeepsMatrix) {
    write(numbers(15, 7) + "\n\n");
    EXPECT_FALSE(readOrientationFile(path, m));
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[1], 0.0f);
}

TEST(OrientationLine, ReadsSignsExponentsAndTabs) {
    const std::string line = "+1 -2.5\t3e2 4 5 6 7 8 9 10 11 12 13 14 15 -1.5e-1";
    float m[16] = {};
    ASSERT_TRUE(parseOrientationLine(line.data(), line.size(), m));
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[1], -2.5f);
    EXPECT_EQ(m[2], 300.0f);
    EXPECT_EQ(m[15], -0.15f);
    // The length bounds the read: the 16th number lies outside it.
    EXPECT_FALSE(parseOrientationLine(line.data(), line.size() - 8, m));
}
