#include <gtest/gtest.h>
TEST(Platform, Placeholder) {}
