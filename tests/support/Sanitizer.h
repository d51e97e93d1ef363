#pragma once

namespace corvane::test {

// Whether the tests (and the programs they start, built alike) run under the address
// sanitizer: slower, and its quarantine keeps freed memory resident, so time bounds
// widen and resident-memory checks say nothing.
constexpr bool underSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

} // namespace corvane::test
