#pragma once

namespace corvane::test {

// Whether the tests (and the programs they start, built alike) run under the address or
// thread sanitizer: slower, and the address sanitizer's quarantine keeps freed memory
// resident, so time bounds widen and resident-memory checks say nothing.
constexpr bool underSanitizer()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

// A bound on a measured time (a stall, a reaction): four times wider under the
// sanitizer, whose slower code on two shared cores stretches what is measured. Only
// for measurements; a bound that defines the behaviour (a pulse's length) never widens.
constexpr long long measuredBound(long long ms)
{
    return underSanitizer() ? 4 * ms : ms;
}

} // namespace corvane::test
