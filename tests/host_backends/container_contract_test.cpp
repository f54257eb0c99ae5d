// What a container sees of a display, checked with the same table on the linked core and on the
// registered module under Wine: how often it repaints, asks for another size and lays its
// pictures out again, and the rectangle it keeps on the panel.
#include "automation/errors.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace qhost::testing {
namespace {

using seg4::MemberKind;
using seg4::Variant;

void put(Display& d, std::string_view name, std::int32_t value) {
    Variant v = Variant::i4(value);
    call(d, name, MemberKind::Put, {&v});
}

void writePins(Display& d, std::int32_t selected) {
    std::vector<Variant> levels(12, Variant::i4(0));
    levels[static_cast<std::size_t>(selected)] = Variant::i4(1);
    Variant pins = Variant::array(seg4::VarType::Variant, 0, std::move(levels));
    call(d, "SimWritePins", MemberKind::Method, {&pins});
}

std::string describe(const ContainerCounts& c, const PanelSize& p) {
    return "paints " + std::to_string(c.paints) + ", resizes " + std::to_string(c.resizes) + ", layouts " +
           std::to_string(c.layouts) + ", panel " + std::to_string(p.width) + " x " +
           std::to_string(p.height);
}

struct Step {
    const char* what;
    std::function<void(Display&)> act;
    ContainerCounts after; // counted since the display went onto the panel
    PanelSize panel;
};

void runSteps(Display& display, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(display);
        const ContainerCounts c = display.counts();
        EXPECT_EQ(describe(c, display.panelSize()), describe(step.after, step.panel));
    }
}

TEST(ContainerContract, ANewDisplayRepaintsResizesAndLaysOutOnlyWhenItMust) {
    std::unique_ptr<Display> d = testBackend().create();
    d->initProperties();
    d->show();
    d->activate();
    runSteps(*d, {
                     {"on the panel", [](Display&) {}, {0, 0, 0}, {160, 50}},
                     {"drawn by the container", [](Display& x) { x.render(); }, {0, 0, 0}, {160, 50}},
                     {"Paint raised alone", [](Display& x) { x.paint(); }, {1, 0, 0}, {160, 50}},
                     {"a pin level changed", [](Display& x) { writePins(x, 0); }, {2, 0, 0}, {160, 50}},
                     {"a new colour", [](Display& x) { put(x, "LEDColour", 2); }, {3, 0, 1}, {160, 50}},
                     {"a colour refused", [](Display& x) { put(x, "LEDColour", 4); }, {3, 0, 1}, {160, 50}},
                     {"a size refused", [](Display& x) { put(x, "LEDSize", 86); }, {3, 0, 1}, {160, 50}},
                     {"a new size", [](Display& x) { put(x, "LEDSize", 60); }, {4, 1, 2}, {192, 60}},
                     {"the same size again", [](Display& x) { put(x, "LEDSize", 60); }, {5, 1, 2}, {192, 60}},
                     {"drawn at the new size", [](Display& x) { x.render(); }, {5, 1, 2}, {192, 60}},
                     {"given another size", [](Display& x) { x.resize(100, 40); }, {5, 2, 2}, {192, 60}},
                     {"given its own size", [](Display& x) { x.resize(192, 60); }, {5, 2, 2}, {192, 60}},
                 });
    EXPECT_EQ(d->render().width, 192);
}

TEST(ContainerContract, ABareDisplayHasNoPinTableAndNoSizeUntilItIsGivenOne) {
    std::unique_ptr<Display> d = testBackend().create();
    d->show(); // no InitProperties and no document
    d->activate();
    Variant pin = Variant::i4(0);
    try {
        call(*d, "PinName", MemberKind::Get, {&pin});
        ADD_FAILURE() << "PinName answered without a pin table";
    } catch (const seg4::ComError& e) {
        EXPECT_EQ(e.code(), seg4::hr::SubscriptOutOfRange);
    }
    EXPECT_EQ(d->render().width, 0);
    runSteps(*d,
             {
                 {"on the panel", [](Display&) {}, {0, 0, 0}, {0, 0}},
                 {"given a size of its own", [](Display& x) { put(x, "LEDSize", 50); }, {1, 1, 1}, {160, 50}},
                 {"its pins read low", [](Display& x) { x.paint(); }, {2, 1, 1}, {160, 50}},
             });
}

} // namespace
} // namespace qhost::testing
