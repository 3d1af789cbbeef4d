#include <gtest/gtest.h>
int dummy_malformed;
