#pragma once
// The address that messages about internal inconsistencies ask the user to contact.

#include <string_view>

namespace zorvel::util {

inline constexpr std::string_view kSupportAddress = "support@example.com";

}  // namespace zorvel::util
