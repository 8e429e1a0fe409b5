#pragma once

// Who the program is: the one place for its title, version and the maker's web address.

#include <string_view>

namespace orba::identity {

inline constexpr std::string_view kProductName = "ORBA批量升级工具";
inline constexpr std::string_view kVersionText = "1.00.0002";
inline constexpr int kVersionNumbers[4] = {1, 0, 0, 2};
inline constexpr std::string_view kMakerWebAddress = "https://www.qhsy.example.cn";

}  // namespace orba::identity
