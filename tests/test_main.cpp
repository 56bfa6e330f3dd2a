// GoogleTest's own main, except that a run selecting no test fails: a filter that names no test
// would pass having run nothing.

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS() || testing::UnitTest::GetInstance()->test_to_run_count() == 0;
}
