// The resources of ARM_7seg4.ocx: every text of the 23-language string table as the portable
// table has it (through the module's own LoadStringW) in blocks tagged with their language, the
// version block, the toolbox bitmap and both type libraries.
#include "wine_support.h"

#include "automation/conversions.h"
#include "localisation/string_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace seg4::wine {
namespace {

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::set<WORD>*>(param)->insert(language);
    return TRUE;
}

TEST(ModuleResources, StringTableHoldsEveryTextInBlocksOfItsLanguage) {
    Win32Platform platform(controlModule());
    std::map<int, WORD> blockLanguage; // a string resource block holds 16 identifiers
    for (const BuiltInString& s : builtInStrings()) {
        const std::optional<std::u16string> text = platform.loadStringResource(s.absoluteId);
        ASSERT_TRUE(text) << "no string " << s.absoluteId;
        EXPECT_EQ(*text, s.text) << "string " << s.absoluteId;
        for (const BuiltInLanguage& language : builtInLanguages()) {
            if (s.absoluteId > language.stringOffset && s.absoluteId <= language.stringOffset + 153)
                blockLanguage[s.absoluteId / 16 + 1] = language.resourceLanguage;
        }
    }
    EXPECT_GE(blockLanguage.size(), builtInLanguages().size());
    EXPECT_FALSE(platform.loadStringResource(2600 + 13)) << "offset 2600 belongs to no language";
    for (const auto& [block, language] : blockLanguage) {
        std::set<WORD> languages;
        EnumResourceLanguagesW(controlModule(), MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(block),
                               collectLanguage, reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(languages, std::set<WORD>{language}) << "block " << block;
    }
}

std::wstring versionString(const std::wstring& path, const wchar_t* name) {
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (block.empty() ||
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return L"<no version block>";
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"<missing>";
    return value;
}

TEST(ModuleResources, VersionBlockNamesTheModule) {
    const std::wstring path = layoutFolder() + L"\\ARM_7seg4.ocx";
    struct Row {
        const wchar_t* name;
        const wchar_t* value;
    };
    for (const Row& r :
         {Row{L"FileVersion", L"4.00.0001"}, Row{L"InternalName", L"ARM_7seg4"},
          Row{L"ProductName", L"Quorvane_ARM_7seg"}, Row{L"OriginalFilename", L"ARM_7seg4.ocx"}})
        EXPECT_EQ(versionString(path, r.name), r.value) << testing::PrintToString(std::wstring(r.name));
    const ModuleVersion v = Win32Platform(controlModule()).moduleVersion();
    EXPECT_EQ((std::array<int, 4>{v.major, v.minor, v.build, v.revision}), (std::array<int, 4>{4, 0, 0, 1}));
}

TEST(ModuleResources, ToolboxBitmapIsSixteenByFifteenTrueColour) {
    HRSRC found = FindResourceW(controlModule(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    ASSERT_NE(found, nullptr);
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(controlModule(), found)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 16);
    EXPECT_EQ(std::abs(header->biHeight), 15);
    EXPECT_EQ(header->biBitCount, 24);
}

TEST(ModuleResources, BothTypeLibrariesAreEmbedded) {
    const std::wstring path = layoutFolder() + L"\\ARM_7seg4.ocx";
    struct Row {
        std::wstring path;
        const GUID* libid;
    };
    for (const Row& r :
         {Row{path, &LIBID_Quorvane_ARM_7seg4}, Row{path + L"\\2", &LIBID_QuorvaneCompV4Lib}}) {
        Ref<ITypeLib> lib;
        ASSERT_EQ(LoadTypeLibEx(r.path.c_str(), REGKIND_NONE, lib.put()), S_OK);
        TLIBATTR* attr = nullptr;
        ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
        EXPECT_TRUE(IsEqualGUID(attr->guid, *r.libid));
        lib->ReleaseTLibAttr(attr);
    }
}

} // namespace
} // namespace seg4::wine
