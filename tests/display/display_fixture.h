// A display on the platform double with a container that records what the control asks of it.
#pragma once

#include "component/control_site.h"
#include "component/led7seg4.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace seg4::test {

class RecordingSite : public ControlSite {
public:
    std::vector<std::pair<float, float>> extents;
    int invalidations = 0;
    void setExtent(float widthTwips, float heightTwips) override {
        extents.emplace_back(widthTwips, heightTwips);
    }
    void invalidate() override { ++invalidations; }
};

class DisplayTest : public testing::Test {
public: // table-driven steps reach the fixture through a reference
    FakePlatform platform;
    RecordingSite site;
    Led7Seg4 control{platform, &site};

    void SetUp() override {
        // What a container does with a new display.
        control.Initialize();
        control.InitProperties();
        control.Resize();
    }

    /// Sets every pin low except the listed ones.
    void setHighPins(std::initializer_list<int> high) {
        auto& pins = *control.stateForTesting().m_Pins;
        for (auto& pin : pins) pin.SimValue = false;
        for (int p : high) pins[static_cast<std::size_t>(p)].SimValue = true;
    }

    /// Selects digit d alone and drives the segment lines with an active-low pattern (bit s low =
    /// segment s lit), as a running simulation does.
    void showPattern(int digit, std::uint8_t activeLow) {
        auto& pins = *control.stateForTesting().m_Pins;
        for (int d = 0; d < 4; ++d) pins[static_cast<std::size_t>(d)].SimValue = d == digit;
        for (int s = 0; s < 8; ++s) pins[static_cast<std::size_t>(4 + s)].SimValue = (activeLow >> s) & 1;
    }

    const Layer& overlay(int digit, int segment) const {
        return control.layers().overlays[LayerSet::overlayIndex(digit, segment)];
    }

    std::vector<int> visibleBackdrops() const {
        std::vector<int> v;
        for (int i = 0; i < 4; ++i)
            if (control.layers().backdrops[static_cast<std::size_t>(i)].visible) v.push_back(i);
        return v;
    }
};

} // namespace seg4::test
