// A new display on the platform double, in a container that records what the control asks.
#pragma once

#include "automation/errors.h"
#include "component/control_site.h"
#include "component/led7seg4.h"
#include "fake_platform.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <vector>

namespace seg4::test {

struct RecordingSite : ControlSite {
    std::vector<std::pair<float, float>> extents;
    int invalidations = 0;
    void setExtent(float w, float h) override { extents.emplace_back(w, h); }
    void invalidate() override { ++invalidations; }
};

struct DisplayTest : testing::Test {
    FakePlatform platform;
    RecordingSite site;
    Led7Seg4 control{platform, &site};

    void SetUp() override { control.Initialize(), control.InitProperties(), control.Resize(); }

    /// Pin levels from a mask, written as the host writes them: bit p is the level of pin p.
    void setPins(unsigned high) {
        std::vector<Variant> levels;
        for (unsigned p = 0; p < 12; ++p) levels.push_back(Variant::boolean(((high >> p) & 1) != 0));
        control.SimWritePins(Variant::array(VarType::Variant, 0, std::move(levels)));
    }
};

} // namespace seg4::test
