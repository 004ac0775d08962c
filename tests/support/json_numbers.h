#pragma once
// Numbers out of the small JSON truth files kept beside the repository, without a JSON
// library: every number of the value stored under a key, nested arrays flattened in order.
#include <string>
#include <vector>

namespace q3d::test {

std::vector<double> JsonNumbersOf(const std::string& json, const std::string& key);

}  // namespace q3d::test
