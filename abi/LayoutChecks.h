/// Compile-time checks of host/ against facts measured from the hosts' side:
/// one macro per kind of fact, each a static_assert whose message is the
/// fact itself, so a broken build names the record, the member and the
/// value the hosts have.
#pragma once

#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

#include "host/PF_Host.h"

namespace quorvel::abi {

/// The shape of a type as the facts write it: a letter and a size in bytes
/// (i integer or enumeration, f floating point, p pointer, s record, v void),
/// and for a function its return shape, then its argument shapes in
/// parentheses, "..." last when it takes more.
struct Shape {
    char text[128] = {};
    std::size_t length = 0;

    constexpr void Put(char c) { text[length++] = c; }
    constexpr void Put(std::string_view s) {
        for (const char c : s) Put(c);
    }
    constexpr void PutNumber(std::size_t n) {
        if (n >= 10) PutNumber(n / 10);
        Put(char('0' + n % 10));
    }
    constexpr bool operator==(std::string_view expected) const { return std::string_view(text, length) == expected; }
};

template <typename T>
constexpr void PutScalar(Shape& shape) {
    if constexpr (std::is_void_v<T>) {
        shape.Put('v');
        return;
    } else {
        if constexpr (std::is_pointer_v<T>) {
            shape.Put('p');
        } else if constexpr (std::is_floating_point_v<T>) {
            shape.Put('f');
        } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
            shape.Put('i');
        } else {
            static_assert(std::is_class_v<T> || std::is_union_v<T>, "a type the facts have no letter for");
            shape.Put('s');
        }
        shape.PutNumber(sizeof(T));
    }
}

template <typename R, typename... A>
constexpr Shape FunctionShapeOf(bool variadic) {
    Shape shape;
    PutScalar<R>(shape);
    shape.Put('(');
    bool first = true;
    auto put_argument = [&]<typename Arg>() {
        if (!first) shape.Put(',');
        first = false;
        PutScalar<Arg>(shape);
    };
    (put_argument.template operator()<A>(), ...);
    static_cast<void>(put_argument);  // unused for a function of no arguments
    if (variadic) shape.Put(first ? "..." : ",...");
    shape.Put(')');
    return shape;
}

template <typename Function>
struct FunctionShape;

template <typename R, typename... A>
struct FunctionShape<R(A...)> {
    static constexpr Shape Make() { return FunctionShapeOf<R, A...>(false); }
};

template <typename R, typename... A>
struct FunctionShape<R(A..., ...)> {
    static constexpr Shape Make() { return FunctionShapeOf<R, A...>(true); }
};

/// A scalar type's shape, or a function's when T is a function pointer.
template <typename T>
constexpr Shape ShapeOf() {
    if constexpr (std::is_pointer_v<T> && std::is_function_v<std::remove_pointer_t<T>>) {
        return FunctionShape<std::remove_pointer_t<T>>::Make();
    } else {
        Shape shape;
        PutScalar<T>(shape);
        return shape;
    }
}

}  // namespace quorvel::abi

// The member designators may descend into nested records and unions
// (`inter.add_param`, `u.do_click.send_drag`), as offsetof allows.
#define QUORVEL_MEMBER_TYPE(T, path) decltype(std::declval<T&>().path)

#define ABI_SIZEOF(T, n) static_assert(sizeof(T) == (n), #T ".sizeof " #n);
#define ABI_ALIGNOF(T, n) static_assert(alignof(T) == (n), #T ".alignof " #n);
#define ABI_TYPE(T, shape) static_assert(::quorvel::abi::ShapeOf<T>() == shape, #T ".type " shape);
#define ABI_SIG(T, shape) static_assert(::quorvel::abi::ShapeOf<T>() == shape, #T ".sig " shape);
#define ABI_OFFSET(T, path, n) static_assert(offsetof(T, path) == (n), #T "." #path ".offset " #n);
#define ABI_SIZE(T, path, n) static_assert(sizeof(QUORVEL_MEMBER_TYPE(T, path)) == (n), #T "." #path ".size " #n);
#define ABI_MEMBER_SIG(T, path, shape) \
    static_assert(::quorvel::abi::ShapeOf<QUORVEL_MEMBER_TYPE(T, path)>() == shape, #T "." #path ".sig " shape);
#define ABI_VALUE(name, v) static_assert((name) == (v), #name " " #v);
#define ABI_NAME(name, text) \
    static_assert(std::string_view(name) == text && sizeof(name) == sizeof(text), #name " " #text);
