// A new display's pin table and the host members that describe it.
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

namespace seg4 {
namespace {

TEST(PinTable, NewDisplayProposesAnodesOnPortZeroAndSegmentsOnPortOne) {
    test::FakePlatform platform;
    Led7Seg4 control(platform);
    control.Initialize();
    control.InitProperties();

    struct Row {
        std::int32_t pin;
        const char16_t* name;
        std::int32_t desiredPort, samePortAs, desiredBit;
    };
    const Row rows[] = {
        {0, u"Anode 3", 0, -1, 3},  {1, u"Anode 2", 0, 0, 2},    {2, u"Anode 1", 0, 0, 1},
        {3, u"Anode 0", 0, 0, 0},   {4, u"Segment A", 1, -1, 0}, {5, u"Segment B", 1, 4, 1},
        {6, u"Segment C", 1, 4, 2}, {7, u"Segment D", 1, 4, 3},  {8, u"Segment E", 1, 4, 4},
        {9, u"Segment F", 1, 4, 5}, {10, u"Segment G", 1, 4, 6}, {11, u"Segment DP", 1, 4, 7}};
    EXPECT_EQ(control.get_PinCount(), 12);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pin);
        EXPECT_EQ(control.get_PinName(r.pin), r.name);
        EXPECT_EQ(control.get_DesiredPort(r.pin), r.desiredPort);
        EXPECT_EQ(control.get_SamePortAsID(r.pin), r.samePortAs);
        EXPECT_EQ(control.get_DesiredBit(r.pin), r.desiredBit);
        EXPECT_EQ(control.get_Direction(r.pin), 1);
        EXPECT_EQ(control.get_PortMandatory(r.pin), -1);
        EXPECT_EQ(control.get_BitMandatory(r.pin), 0);
        EXPECT_EQ(control.get_Port(r.pin), -1);
        EXPECT_EQ(control.get_Bit(r.pin), -1);
    }
}

} // namespace
} // namespace seg4
