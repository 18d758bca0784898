#pragma once

#include <gtest/gtest.h>

#include <string>

namespace tessaglyph::testing {

// Names each row of a data-driven test after its name field.
template <class Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
  return row.param.name;
}

}  // namespace tessaglyph::testing
