// Descriptions and names of the result codes the component raises.
#include "automation/errors.h"

#include "automation/conversions.h"

namespace seg4 {

namespace {

struct KnownCode {
    HResult code;
    const char16_t* description;
    const char* name;
};

// The runtime's own descriptions, so that a host shows the texts its users know.
constexpr KnownCode kKnownCodes[] = {
    {hr::NotImplemented, u"Not implemented", "not-implemented"},
    {hr::Pointer, u"Invalid pointer", "pointer"},
    {hr::Fail, u"Unspecified error", "fail"},
    {hr::InvalidArgument, u"The parameter is incorrect", "invalid-argument"},
    {hr::ClassNotRegistered, u"Class not registered", "class-not-registered"},
    {hr::DispTypeMismatch, u"Type mismatch", "arg-type-mismatch"},
    {hr::DispOverflow, u"Out of present range", "arg-overflow"},
    {hr::DispException, u"Exception occurred", "exception"},
    {hr::InvalidProcedureCall, u"Invalid procedure call or argument", "invalid-call"},
    {hr::Overflow, u"Overflow", "overflow"},
    {hr::OutOfMemory, u"Out of memory", "out-of-memory"},
    {hr::SubscriptOutOfRange, u"Subscript out of range", "subscript"},
    {hr::TypeMismatch, u"Type mismatch", "type-mismatch"},
    {hr::BadFileNameOrNumber, u"Bad file name or number", "bad-file"},
    {hr::FileNotFound, u"File not found", "file-not-found"},
    {hr::FileAlreadyOpen, u"File already open", "file-already-open"},
    {hr::DeviceIoError, u"Device I/O error", "device-io"},
    {hr::InputPastEndOfFile, u"Input past end of file", "past-end-of-file"},
    {hr::PathFileAccessError, u"Path/File access error", "path-file-access"},
    {hr::ObjectVariableNotSet, u"Object variable or With block variable not set", "object-not-set"},
    {hr::InvalidUseOfNull, u"Invalid use of Null", "null"},
    {hr::ResourceNotFound, u"Resource not found", "resource-not-found"},
    {hr::InvalidPropertyArrayIndex, u"Invalid property array index", "property-array-index"},
    {hr::ImageListExpected, u"ImageList property expects ImageList object or long hImageList handle.",
     "image-list"},
};

const KnownCode* find(HResult code) {
    for (const auto& k : kKnownCodes)
        if (k.code == code) return &k;
    return nullptr;
}

} // namespace

std::u16string describeHResult(HResult code) {
    const KnownCode* k = find(code);
    return k ? std::u16string(k->description) : std::u16string();
}

std::string hresultName(HResult code) {
    const KnownCode* k = find(code);
    return k ? std::string(k->name) : std::string();
}

ComError::ComError(HResult code) : ComError(code, describeHResult(code)) {}

ComError::ComError(HResult code, std::u16string description)
    : std::runtime_error(toUtf8(description)), code_(code), description_(std::move(description)) {}

void raise(HResult code) { throw ComError(code); }
void raise(HResult code, std::u16string description) { throw ComError(code, std::move(description)); }

} // namespace seg4
