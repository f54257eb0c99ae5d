// The ordered member tables of the host interface and of the control's own interface, with
// argument and result types read off the core methods' signatures.
#pragma once

#include "automation/variant.h"
#include "component/led7seg4.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace seg4 {

enum class MemberKind { Get, Put, Method };

/// The automation types that cross the interfaces: by value, or by reference (in/out).
enum class ValueKind { Void, Short, Long, String, Variant, ShortRef, LongRef, StringRef, VariantRef };

template <typename T>
constexpr ValueKind valueKindOf() {
    using Bare = std::remove_cvref_t<T>;
    constexpr bool ref = std::is_lvalue_reference_v<T> && !std::is_const_v<std::remove_reference_t<T>>;
    if constexpr (std::is_void_v<T>)
        return ValueKind::Void;
    else if constexpr (std::is_same_v<Bare, std::int16_t>)
        return ref ? ValueKind::ShortRef : ValueKind::Short;
    else if constexpr (std::is_same_v<Bare, std::int32_t>)
        return ref ? ValueKind::LongRef : ValueKind::Long;
    else if constexpr (std::is_same_v<Bare, std::u16string>)
        return ref ? ValueKind::StringRef : ValueKind::String;
    else if constexpr (std::is_same_v<Bare, Variant>)
        return ref ? ValueKind::VariantRef : ValueKind::Variant;
    else
        static_assert(sizeof(T) == 0, "a type that cannot cross the automation interface");
}

template <typename F>
struct MethodSignature;
template <typename C, typename R, typename... A>
struct MethodSignature<R (C::*)(A...)> {
    using Result = R;
    static constexpr ValueKind result = valueKindOf<R>();
    static constexpr std::array<ValueKind, sizeof...(A)> args{valueKindOf<A>()...};
};

struct MemberInfo {
    int number;
    std::string_view name;
    MemberKind kind;
    ValueKind result;
    std::span<const ValueKind> args;
};

#define SEG4_MEMBER_INFO(no, name, kind, method)                                                             \
    MemberInfo{no, #name, MemberKind::kind, MethodSignature<decltype(&Led7Seg4::method)>::result,            \
               MethodSignature<decltype(&Led7Seg4::method)>::args},

inline constexpr MemberInfo kHostMembers[] = {
#define HOST_MEMBER SEG4_MEMBER_INFO
#include "component/host_members.def"
#undef HOST_MEMBER
};

inline constexpr MemberInfo kControlMembers[] = {
#define CONTROL_MEMBER SEG4_MEMBER_INFO
#include "component/control_members.def"
#undef CONTROL_MEMBER
};

#undef SEG4_MEMBER_INFO

static_assert(std::size(kHostMembers) == 62, "the host interface has 62 members");
static_assert(std::size(kControlMembers) == 17, "_led7seg4 has 17 members after IDispatch");

std::string_view valueKindName(ValueKind kind);

} // namespace seg4
