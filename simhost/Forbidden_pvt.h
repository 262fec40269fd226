/// Host functions the module has no business calling. The host's tables are
/// complete, as a real host's are, so a module that calls through the wrong
/// slot reaches one of these instead of crashing: the call is logged, noted
/// as a problem (which fails the test) and answered with an error.
#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>

#include "host/PF_Host.h"

namespace quorvel::sim {

/// Notes a call of `name` on the host running the current command, or stops
/// the program when there is none.
void ForbiddenCall(const char* name);

/// A function's name as a template argument.
template <std::size_t N>
struct FunctionName {
    constexpr FunctionName(const char (&text)[N]) { std::copy_n(text, N, name); }
    char name[N];
};

template <typename R>
R ForbiddenResult() {
    if constexpr (std::is_void_v<R>) {
        return;
    } else if constexpr (std::is_integral_v<R> && sizeof(R) == sizeof(PF_Err)) {
        return R(PF_Err_INVALID_CALLBACK);
    } else {
        return R{};
    }
}

template <FunctionName name, typename Fn>
struct Forbidden;

template <FunctionName name, typename R, typename... A>
struct Forbidden<name, R (*)(A...)> {
    static R Call(A...) {
        ForbiddenCall(name.name);
        return ForbiddenResult<R>();
    }
};

template <FunctionName name, typename R, typename... A>
struct Forbidden<name, R (*)(A..., ...)> {
    static R Call(A..., ...) {
        ForbiddenCall(name.name);
        return ForbiddenResult<R>();
    }
};

/// Fills one slot of a host table: Forbid<"checkout_param">(inter.checkout_param).
template <FunctionName name, typename Fn>
void Forbid(Fn& slot) {
    slot = &Forbidden<name, Fn>::Call;
}

}  // namespace quorvel::sim
