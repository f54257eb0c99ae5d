// The property page of the native core: the page's logic over the in-memory combo window, its
// selected displays reached by property name as the frame reaches them.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "backends/members.h"
#include "backends/native_backend.h"
#include "backends/page_picture.h"
#include "backends/page_session.h"
#include "memory_combo_window.h"
#include "posix_platform.h"
#include "propertypage/ppg7seg4.h"
#include "text_codec.h"

#include <algorithm>
#include <cmath>

namespace qhost {

using seg4::Variant;

namespace {

/// A display as the page reaches it: its own interface's properties, by name.
class DisplayTarget : public seg4::PageTarget {
public:
    explicit DisplayTarget(Display& display) : display_(display) {}
    Variant getProperty(const std::u16string& name) override {
        std::vector<Variant*> args;
        return display_.invoke(false, member(name, seg4::MemberKind::Get), args);
    }
    void putProperty(const std::u16string& name, const Variant& value) override {
        Variant copy = value;
        std::vector<Variant*> args{&copy};
        display_.invoke(false, member(name, seg4::MemberKind::Put), args);
    }

private:
    Display& display_;

    static const seg4::MemberInfo& member(const std::u16string& name, seg4::MemberKind kind) {
        const FoundMember found = findMember(seg4::toUtf8(name), kind);
        if (!found || found.host) // the page talks to the control's own interface only
            seg4::raise(static_cast<seg4::HResult>(0x80020006U), u"Unknown name"); // as GetIDsOfNames answers
        return *found.info;
    }
};

/// Whole screen pixels of a length in twips, as the page's image is drawn.
std::int32_t pixels(float twips, float twipsPerPixel) {
    return twipsPerPixel > 0 ? static_cast<std::int32_t>(std::lround(twips / twipsPerPixel)) : 0;
}

class NativePage : public PageSession {
public:
    NativePage(seg4::Platform& platform, const std::vector<Display*>& selected)
        : platform_(platform), windows_(platform.pixelsPerInchY()), page_(platform, windows_) {
        for (Display* d : selected) targets_.push_back(std::make_unique<DisplayTarget>(*d));
        std::vector<seg4::PageTarget*> handed;
        for (auto& t : targets_) handed.push_back(t.get());
        page_.Initialize();
        page_.SelectionChanged(std::move(handed));
    }

    PageState state() override {
        PageState s;
        s.caption = page_.caption();
        s.version = page_.versionLabel().caption;
        s.colourLabel = label(page_.colourLabel());
        s.sizeLabel = label(page_.sizeLabel());
        seg4::UcComboBoxEx& list = page_.colourList();
        for (std::int32_t i = 0; i < list.get_ListCount(); ++i) s.items.push_back(list.get_ItemText(i));
        s.listIndex = list.get_ListIndex();
        s.sizeText = page_.sizeText();
        s.scrollValue = page_.scrollBar().value;
        const auto& previews = page_.previews();
        for (std::size_t i = 0; i < previews.size(); ++i) {
            if (!previews[i].visible) continue;
            s.preview = static_cast<std::int32_t>(i);
            s.previewWidthPixels = pixels(previews[i].widthTwips, platform_.twipsPerPixelX());
            s.previewHeightPixels = pixels(previews[i].heightTwips, platform_.twipsPerPixelY());
        }
        s.changed = page_.changed();
        return s;
    }

    void pick(std::int32_t index) override {
        if (seg4::MemoryComboWindow* window = seg4::MemoryComboWindow::of(page_.colourList().window()))
            window->choose(index);
    }
    void scrollArrows(std::int32_t clicks) override { click(clicks, page_.scrollBar().smallChange); }
    void scrollPages(std::int32_t clicks) override { click(clicks, page_.scrollBar().largeChange); }
    void scrollTo(std::int32_t value) override { page_.setScrollValue(value); }
    void typeSize(const std::u16string& text) override { page_.setSizeText(text); }
    seg4::Frame picture() override {
        // A label draws its caption as 8-bit text: the bytes of the system's code page, read in
        // the code page of the label font's character set, as the Windows page draws them.
        PageState s = state();
        const std::uint32_t system = platform_.systemAnsiCodePage();
        for (PageLabelState* label : {&s.colourLabel, &s.sizeLabel}) {
            const auto charset = static_cast<std::uint32_t>(label->charset);
            label->caption = platform_.decodeAnsi(platform_.encodeAnsi(label->caption, system),
                                                  seg4::text::codePageOfCharset(charset, system));
        }
        return drawPage(s, platform_.twipsPerPixelX(), platform_.twipsPerPixelY());
    }
    bool apply() override {
        if (!page_.changed()) return false;
        page_.ApplyChanges();
        return true;
    }

    // The colour list through the control's own members.
    ComboListState comboList() override {
        seg4::UcComboBoxEx& list = page_.colourList();
        ComboListState s;
        s.style = list.get_Style();
        s.extendedStyle = list.get_ExtendedStyle();
        s.listIndex = list.get_ListIndex();
        for (std::int32_t i = 0; i < list.get_ListCount(); ++i) {
            seg4::ComboItem item;
            item.text = list.get_ItemText(i);
            item.image = list.get_ItemIconIndex(i);
            item.selectedImage = list.get_ItemIconIndexSelected(i);
            item.indent = list.get_ItemIndent(i);
            item.data = list.get_ItemData(i);
            if (const auto held = list.window()->item(i)) item.overlay = held->overlay; // no member reads it
            s.items.push_back(std::move(item));
        }
        return s;
    }
    std::int32_t comboAdd(const ComboAddition& a) override {
        seg4::UcComboBoxEx& list = page_.colourList();
        const auto given = [](const std::optional<std::int32_t>& v) {
            return v ? Variant::i4(*v) : seg4::omitted();
        };
        if (!list.AddItem(a.text, given(a.before), given(a.image), given(a.selectedImage), given(a.data),
                          given(a.indent)))
            return -1;
        return list.get_NewIndex();
    }
    std::int32_t comboFind(const std::u16string& text, bool exact) override {
        return page_.colourList().FindItem(text, Variant::boolean(exact));
    }
    void comboSelect(std::int32_t index) override { page_.colourList().put_ListIndex(index); }
    void comboKey(std::int16_t code, std::int16_t shift) override {
        if (seg4::MemoryComboWindow* window = seg4::MemoryComboWindow::of(page_.colourList().window()))
            window->pressKey(code, shift);
    }
    std::u16string comboEvents() override {
        seg4::ComboEventLog& events = page_.colourListEvents();
        std::u16string text = events.text();
        events.clear();
        return text;
    }

private:
    seg4::Platform& platform_;
    seg4::MemoryComboWindowFactory windows_;
    std::vector<std::unique_ptr<DisplayTarget>> targets_;
    seg4::Ppg7Seg4 page_;

    static PageLabelState label(const seg4::PageLabel& l) {
        return {l.caption, l.fontFace, l.fontPoints, l.charset};
    }

    /// One click after another; past the bar's span every further click does nothing.
    void click(std::int32_t clicks, std::int32_t step) {
        const seg4::PageScrollBar& bar = page_.scrollBar();
        const std::int64_t span = static_cast<std::int64_t>(bar.max) - bar.min;
        const std::int64_t count = std::min<std::int64_t>(std::llabs(clicks), span + 1);
        for (std::int64_t i = 0; i < count; ++i) page_.scrollBy(clicks > 0 ? step : -step);
    }
};

} // namespace

std::unique_ptr<PageSession> NativeBackend::openPage(std::vector<Display*> selected) {
    return std::make_unique<NativePage>(platform_, std::move(selected));
}

} // namespace qhost
