// Failures of the component as automation result codes, and the exception that carries them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace seg4 {

/// A COM result code. Negative values are failures.
using HResult = std::int32_t;

namespace hr {
inline constexpr HResult Ok = 0;
inline constexpr HResult NotImplemented = static_cast<HResult>(0x80004001U);
inline constexpr HResult Pointer = static_cast<HResult>(0x80004003U);
inline constexpr HResult Fail = static_cast<HResult>(0x80004005U);
inline constexpr HResult InvalidArgument = static_cast<HResult>(0x80070057U);
inline constexpr HResult ClassNotRegistered = static_cast<HResult>(0x80040154U);

// What IDispatch::Invoke answers when an argument cannot be coerced to the member's type.
inline constexpr HResult DispTypeMismatch = static_cast<HResult>(0x80020005U);
inline constexpr HResult DispOverflow = static_cast<HResult>(0x8002000AU);
inline constexpr HResult DispException = static_cast<HResult>(0x80020009U);

// Runtime errors of the control facility (0x800A0000 + the runtime's error number).
inline constexpr HResult InvalidProcedureCall = static_cast<HResult>(0x800A0005U);
inline constexpr HResult Overflow = static_cast<HResult>(0x800A0006U);
inline constexpr HResult OutOfMemory = static_cast<HResult>(0x800A0007U);
inline constexpr HResult SubscriptOutOfRange = static_cast<HResult>(0x800A0009U);
inline constexpr HResult TypeMismatch = static_cast<HResult>(0x800A000DU);
inline constexpr HResult BadFileNameOrNumber = static_cast<HResult>(0x800A0034U);
inline constexpr HResult FileNotFound = static_cast<HResult>(0x800A0035U);
inline constexpr HResult FileAlreadyOpen = static_cast<HResult>(0x800A0037U);
inline constexpr HResult DeviceIoError = static_cast<HResult>(0x800A0039U);
inline constexpr HResult InputPastEndOfFile = static_cast<HResult>(0x800A003EU);
inline constexpr HResult PathFileAccessError = static_cast<HResult>(0x800A004BU);
inline constexpr HResult ObjectVariableNotSet = static_cast<HResult>(0x800A005BU);
inline constexpr HResult InvalidUseOfNull = static_cast<HResult>(0x800A005EU);
inline constexpr HResult ResourceNotFound = static_cast<HResult>(0x800A0146U);
inline constexpr HResult InvalidPropertyArrayIndex = static_cast<HResult>(0x800A017DU);
inline constexpr HResult ImageListExpected = static_cast<HResult>(0x80040419U);
} // namespace hr

/// The runtime's own description of a result code ("Overflow", "Type mismatch", ...);
/// an empty string for codes the component never raises.
std::u16string describeHResult(HResult code);

/// Short stable name used by scripts and reports ("overflow", "subscript", ...); empty if none.
std::string hresultName(HResult code);

/// Thrown by the core wherever the component fails an operation. The COM shell turns it into
/// the HRESULT plus IErrorInfo; qhost prints it.
class ComError : public std::runtime_error {
public:
    explicit ComError(HResult code);
    ComError(HResult code, std::u16string description);
    /// With the object that raised it, as IErrorInfo's source ("ARM_7seg4.ucComboBoxEx").
    ComError(HResult code, std::u16string description, std::u16string source)
        : ComError(code, std::move(description)) {
        source_ = std::move(source);
    }

    HResult code() const noexcept { return code_; }
    const std::u16string& description() const noexcept { return description_; }
    /// Empty unless the raiser named itself.
    const std::u16string& source() const noexcept { return source_; }

private:
    HResult code_;
    std::u16string description_;
    std::u16string source_;
};

[[noreturn]] void raise(HResult code);
[[noreturn]] void raise(HResult code, std::u16string description);

} // namespace seg4
