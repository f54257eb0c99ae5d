// Arbitrary bytes, read as UTF-8 and as UTF-16, through every conversion of a string: each
// ends in a value or in one of the errors a conversion may raise, never in a crash.
#include "automation/conversions.h"
#include "automation/errors.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool documented(seg4::HResult code) {
    return code == seg4::hr::TypeMismatch || code == seg4::hr::Overflow || code == seg4::hr::InvalidArgument;
}

template <class F>
void expectValueOrDocumentedError(F&& convert) {
    try {
        convert();
    } catch (const seg4::ComError& e) {
        if (!documented(e.code())) std::abort();
    }
}

void exercise(const std::u16string& text) {
    using namespace seg4;
    const Variant v = Variant::string(text);
    expectValueOrDocumentedError([&] { toInteger(v); });
    expectValueOrDocumentedError([&] { toLong(v); });
    expectValueOrDocumentedError([&] { toByte(v); });
    expectValueOrDocumentedError([&] { toDouble(v); });
    expectValueOrDocumentedError([&] { toBoolean(v); });
    if (toString(v) != text) std::abort();
    for (VarType t :
         {VarType::I1, VarType::UI1, VarType::I2, VarType::UI2, VarType::I4, VarType::UI4, VarType::I8,
          VarType::UI8, VarType::R4, VarType::R8, VarType::Currency, VarType::Date, VarType::Bool}) {
        expectValueOrDocumentedError([&] {
            // A number that converts must print and read back without failing the parser.
            const Variant converted = changeType(v, t);
            if (t != VarType::Date) {
                const std::u16string printed = changeType(converted, VarType::String).asString();
                expectValueOrDocumentedError([&] { changeType(Variant::string(printed), VarType::R8); });
            }
        });
    }
    if (!automationEquals(v, Variant::string(text))) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    exercise(seg4::fromUtf8(std::string(reinterpret_cast<const char*>(data), size)));
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < size; i += 2) wide += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    exercise(wide);
    return 0;
}
