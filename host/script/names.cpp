// Resolution of the script's names.
#include "script/names.h"

#include <iterator>
#include <utility>

namespace qhost {

using seg4::MemberKind;

namespace {

const std::pair<const char*, BuiltIn> kBuiltIns[] = {
    {"true", BuiltIn::True},
    {"false", BuiltIn::False},
    {"empty", BuiltIn::Empty},
    {"null", BuiltIn::Null},
    {"vbcr", BuiltIn::VbCr},
    {"vblf", BuiltIn::VbLf},
    {"vbcrlf", BuiltIn::VbCrLf},
    {"vbtab", BuiltIn::VbTab},
    {"vbnullstring", BuiltIn::VbNullString},
    {"time", BuiltIn::Time},
    {"array", BuiltIn::Array},
    {"typename", BuiltIn::TypeName},
    {"chr", BuiltIn::Chr},
    {"chrw", BuiltIn::ChrW},
    {"cint", BuiltIn::CInt},
    {"clng", BuiltIn::CLng},
    {"cbyte", BuiltIn::CByte},
    {"cbool", BuiltIn::CBool},
    {"cdbl", BuiltIn::CDbl},
    {"cstr", BuiltIn::CStr},
    {"ubound", BuiltIn::UBound},
    {"lbound", BuiltIn::LBound},
    {"len", BuiltIn::Len},
    {"int", BuiltIn::Int},
    {"fix", BuiltIn::Fix},
    {"abs", BuiltIn::Abs},
    {"min", BuiltIn::Min},
    {"max", BuiltIn::Max},
    {"filetext", BuiltIn::FileText},
    {"pageopen", BuiltIn::PageOpen},
    {"pagecaption", BuiltIn::PageCaption},
    {"pagelistindex", BuiltIn::PageListIndex},
    {"pagelisttext", BuiltIn::PageListText},
    {"pagesizetext", BuiltIn::PageSizeText},
    {"pagescroll", BuiltIn::PageScroll},
    {"pagepreview", BuiltIn::PagePreview},
    {"pagepreviewwidth", BuiltIn::PagePreviewWidth},
    {"pagepreviewheight", BuiltIn::PagePreviewHeight},
    {"pagechanged", BuiltIn::PageChanged},
    // the current display as its container sees it (container_checks.cpp)
    {"picturewidth", BuiltIn::PictureWidth},
    {"pictureheight", BuiltIn::PictureHeight},
    {"pixel", BuiltIn::Pixel},
    {"paintcount", BuiltIn::PaintCount},
    {"resizecount", BuiltIn::ResizeCount},
    {"layoutcount", BuiltIn::LayoutCount},
    {"controlwidth", BuiltIn::ControlWidth},
    {"controlheight", BuiltIn::ControlHeight},
    // Text functions, typed arrays and the module's identity
    {"instr", BuiltIn::InStr},
    {"left", BuiltIn::Left},
    {"mid", BuiltIn::Mid},
    {"right", BuiltIn::Right},
    {"replace", BuiltIn::Replace},
    {"split", BuiltIn::Split},
    {"join", BuiltIn::Join},
    {"lcase", BuiltIn::LCase},
    {"ucase", BuiltIn::UCase},
    {"hex", BuiltIn::Hex},
    {"arrayof", BuiltIn::ArrayOf},
    {"arrayof2", BuiltIn::ArrayOf2},
    {"classid", BuiltIn::ClassId},
    {"membername", BuiltIn::MemberName},
    {"fileversion", BuiltIn::FileVersion},
};

} // namespace

BuiltIn builtInNamed(std::string_view name) {
    for (const auto& [word, builtIn] : kBuiltIns)
        if (sameName(word, name)) return builtIn;
    return BuiltIn::None;
}

bool isBuiltIn(std::string_view name) { return builtInNamed(name) != BuiltIn::None; }

NameBinding bindName(std::string_view name) {
    NameBinding b;
    b.get = findMember(name, MemberKind::Get);
    b.method = findMember(name, MemberKind::Method);
    b.put = findMember(name, MemberKind::Put);
    b.builtIn = builtInNamed(name);
    return b;
}

} // namespace qhost
