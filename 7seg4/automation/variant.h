// Automation values: the VARIANT of the host interface, held without any platform type.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace seg4 {

/// The base type of a value; numbers equal the automation VARTYPE codes so the COM shell maps
/// them one to one.
enum class VarType : std::uint16_t {
    Empty = 0,
    Null = 1,
    I2 = 2,
    I4 = 3,
    R4 = 4,
    R8 = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9, // an object reference from a caller: nothing of it is held, and every conversion refuses it
    Error = 10,
    Bool = 11,
    Variant = 12, // element type of a variant array; never the type of a scalar
    I1 = 16,
    UI1 = 17,
    UI2 = 18,
    UI4 = 19,
    I8 = 20,
    UI8 = 21,
};

inline constexpr std::uint16_t kVtArrayFlag = 0x2000;
inline constexpr std::uint16_t kVtByRefFlag = 0x4000;
inline constexpr int kMaxReferenceDepth = 64;

struct SafeArray;

/// One dimension of an array: its lower bound and its number of elements.
struct ArrayDimension {
    std::int32_t lowerBound = 0;
    std::int32_t count = 0;
    friend bool operator==(const ArrayDimension&, const ArrayDimension&) = default;
};

/// An automation value with value semantics (copying a Variant copies its array).
///
/// Kinds: a scalar of one VarType; an array of an element type (possibly holding no array at
/// all, as a typed array variable that was never filled); or a reference to another Variant,
/// which is how the host passes in/out arguments. A reference does not own its target.
class Variant {
public:
    Variant() = default; // Empty

    static Variant null();
    static Variant i1(std::int8_t v);
    static Variant ui1(std::uint8_t v);
    static Variant i2(std::int16_t v);
    static Variant ui2(std::uint16_t v);
    static Variant i4(std::int32_t v);
    static Variant ui4(std::uint32_t v);
    static Variant i8(std::int64_t v);
    static Variant ui8(std::uint64_t v);
    static Variant r4(float v);
    static Variant r8(double v);
    /// Currency is a 64-bit integer scaled by 10 000.
    static Variant currency(std::int64_t scaled);
    /// Date is the automation day number (days since 30 December 1899, fraction = time of day).
    static Variant date(double days);
    static Variant string(std::u16string v);
    static Variant boolean(bool v); // stored as the 16-bit -1 / 0
    static Variant error(std::int32_t scode);
    /// What a caller's object reference becomes: a member that never reads the argument takes it,
    /// one that does fails with type mismatch.
    static Variant object();
    /// A reference to `target`, which must outlive the reference.
    static Variant byRef(Variant* target);
    /// A reference to a caller's variable of a fixed type (a Long, a String, a Long() passed by
    /// reference): storeArgument() keeps the type `target` holds now. A plain byRef() is a
    /// reference to a Variant variable, which takes any value.
    static Variant typedRef(Variant* target);
    /// Elements that are not of `elementType` are converted to it with changeType (Empty becomes
    /// 0, "" or False), so a typed array never holds a foreign value; a value that cannot be
    /// converted fails as changeType does. Bounds past the 32-bit range fail with overflow.
    static Variant array(VarType elementType, std::int32_t lowerBound, std::vector<Variant> elements);
    /// A two-dimensional array of `first.count` by `second.count` elements, given with the first
    /// index running fastest (as the automation stores such an array); converted as array() does.
    /// Counts that do not match the elements fail with invalid argument.
    static Variant array2(VarType elementType, ArrayDimension first, ArrayDimension second,
                          std::vector<Variant> elements);
    /// The empty array: lower bound 0, upper bound -1.
    static Variant emptyArray(VarType elementType);
    /// A variant of array type that holds no array.
    static Variant noArray(VarType elementType);

    /// The base type (element type for arrays). For a reference, the type of the reference
    /// itself is VarType::Variant; use deref() to look through it.
    VarType type() const noexcept { return type_; }
    bool isArray() const noexcept { return isArray_; }
    bool isByRef() const noexcept { return std::holds_alternative<Variant*>(data_); }
    /// A reference made by typedRef().
    bool isTypedRef() const noexcept { return typedReference_ != 0 && isByRef(); }
    /// The full VARTYPE bits, as VARIANT.vt would hold them (a typed reference: the by-reference
    /// flag and its target's bits).
    std::uint16_t vt() const noexcept;

    /// The value itself: the target of a reference (followed through any chain), else *this.
    /// A chain longer than kMaxReferenceDepth (a cycle) stops at a reference, which every
    /// conversion refuses with type mismatch.
    const Variant& deref() const noexcept;
    Variant& deref() noexcept;

    bool isEmpty() const noexcept { return !isArray_ && type_ == VarType::Empty && !isByRef(); }
    bool isNull() const noexcept { return !isArray_ && type_ == VarType::Null; }

    // Exact accessors of a scalar of the matching kind; they throw the type-mismatch error
    // otherwise. Integer types of any width read as int64 / uint64, R4 and R8 as double.
    std::int64_t asSigned() const;    // I1, I2, I4, I8, Bool (-1/0), Error
    std::uint64_t asUnsigned() const; // UI1, UI2, UI4, UI8
    double asDouble() const;          // R4, R8, Date
    std::int64_t asCurrencyScaled() const;
    const std::u16string& asString() const;
    bool asBool() const;

    /// The array, or nullptr for a scalar or for an array type that holds no array.
    const SafeArray* arrayData() const noexcept;

    // Inline looks at this value itself (no reference followed, nothing converted), for loops
    // that run once per simulated instruction; anything else takes the general path.
    /// The array this value holds, or nullptr (also for a reference).
    const SafeArray* ownArray() const noexcept {
        const auto* p = std::get_if<std::shared_ptr<SafeArray>>(&data_);
        return p ? p->get() : nullptr;
    }
    /// The stored value of a Boolean or signed integer scalar (Boolean as -1 / 0), or nullptr.
    const std::int64_t* ownSignedInteger() const noexcept {
        if (type_ == VarType::Bool && !isArray_) return std::get_if<std::int64_t>(&data_); // the usual
        switch (type_) {
        case VarType::Bool:
        case VarType::I1:
        case VarType::I2:
        case VarType::I4:
        case VarType::I8: return isArray_ ? nullptr : std::get_if<std::int64_t>(&data_);
        default: return nullptr;
        }
    }
    /// type() in the low 16 bits and isArray() above them, read in one load: a check of both
    /// for loops that run once per simulated instruction. A typed reference sets the top byte
    /// too, so it never reads as a scalar.
    std::uint32_t kindBits() const noexcept {
        static_assert(std::endian::native == std::endian::little);
        std::uint32_t bits;
        // type_, isArray_, spare_: the first bytes of the object's representation
        std::memcpy(&bits, reinterpret_cast<const unsigned char*>(this), sizeof bits);
        return bits;
    }
    /// The stored value of a Boolean scalar held by value (type() Bool, no array): -1 for True,
    /// 0 for False, as boolean(), the only maker of one, stores it. Only for such a value: the
    /// storage's kind is not looked at again.
    std::int64_t booleanBits() const noexcept {
        const auto* v = std::get_if<std::int64_t>(&data_);
        if (!v) __builtin_unreachable();
        return *v;
    }
    SafeArray* arrayData(); // copies an array shared with another Variant first, so it may throw

    /// Structural equality: same vt and same stored value (arrays element by element).
    friend bool operator==(const Variant& a, const Variant& b);
    friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }

private:
    using Storage = std::variant<std::monostate, std::int64_t, std::uint64_t, double, std::u16string,
                                 std::shared_ptr<SafeArray>, Variant*>;

    VarType type_ = VarType::Empty;
    bool isArray_ = false;
    std::uint8_t typedReference_ = 0; // also keeps the four bytes kindBits() reads all defined
    Storage data_{};

    void detachArray(); // copy-on-write for arrays shared after a copy
};

/// An array with its element type and bounds. Every element is a Variant of the element type
/// (any type for a Variant array). Most arrays have one dimension, given by `lowerBound` and the
/// number of elements; a two-dimensional one lists both of its dimensions in `dimensions` (the
/// first one's lower bound is also `lowerBound`) and stores its elements with the first index
/// running fastest. Code that reads only one-dimensional arrays checks dimensionCount().
struct SafeArray {
    VarType elementType = VarType::Variant;
    std::int32_t lowerBound = 0;
    std::vector<Variant> elements;
    std::vector<ArrayDimension> dimensions; // empty for one dimension

    std::int32_t upperBound() const noexcept {
        return lowerBound + static_cast<std::int32_t>(elements.size()) - 1;
    }
    int dimensionCount() const noexcept {
        return dimensions.empty() ? 1 : static_cast<int>(dimensions.size());
    }
    /// The bounds of dimension `d` (1-based, as LBound and UBound count), which must exist.
    std::int32_t lower(int d) const noexcept {
        return dimensions.empty() ? lowerBound : dimensions[static_cast<std::size_t>(d - 1)].lowerBound;
    }
    std::int32_t upper(int d) const noexcept {
        if (dimensions.empty()) return upperBound();
        const ArrayDimension& dim = dimensions[static_cast<std::size_t>(d - 1)];
        return dim.lowerBound + dim.count - 1;
    }
};

/// Element `index` of the array `v` holds (looking through references). Fails with
/// type mismatch when `v` holds no array and subscript out of range outside the bounds or for
/// an array of another number of dimensions.
const Variant& arrayElement(const Variant& v, std::int32_t index);
/// Element (i, j) of a two-dimensional array, with the same failures.
const Variant& arrayElement(const Variant& v, std::int32_t i, std::int32_t j);

/// The bounds of the array `v` holds (looking through references), as LBound and UBound give
/// them: type mismatch for a value that is no array, subscript out of range for an array type
/// that holds no array. The empty array has bounds 0 and -1.
std::int32_t lowerBound(const Variant& v);
std::int32_t upperBound(const Variant& v);

} // namespace seg4
