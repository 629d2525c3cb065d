#pragma once
// Whether the build runs under the address sanitizer, which watches heap memory only and
// reserves terabytes of shadow mappings: what it would not see, or could not bear, is left
// out under it.

namespace zorvel::util {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace zorvel::util
