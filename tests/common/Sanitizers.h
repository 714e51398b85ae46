#pragma once

namespace halvane::test {

// Whether this build runs under ThreadSanitizer, which makes code many times slower: tests
// that bound a time or a crowd scale with it.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif
#else
inline constexpr bool kThreadSanitizer = false;
#endif

} // namespace halvane::test
