#pragma once

#include <string_view>

namespace orba {

// The markers that delimit a document's data block, as UTF-8 bytes.
inline constexpr std::string_view kStartMarker = R"(<div id="DATA_SAVER" class="data_saver">)";
inline constexpr std::string_view kEndMarker = "</div>   <!-- <div id=\"DATA_SAVER\">结束 -->";

}  // namespace orba
