#define INITGUID
#include "guid_definition.h"

#include <gtest/gtest.h>

namespace {

// Both translation units define the GUID; the program keeps a single one with its value.
TEST(GuidDefinition, DefinitionsInSeveralTranslationUnitsAreOneObject) {
    EXPECT_EQ(&GUID_TwiceDefined, TwiceDefinedSeenElsewhere());
    constexpr GUID expected{
        0x8c1d4f20, 0x35a7, 0x4e19, {0xb2, 0x06, 0x7d, 0x51, 0xe3, 0x9a, 0x0c, 0x44}};
    EXPECT_EQ(GUID_TwiceDefined, expected);
    EXPECT_EQ(*TwiceDefinedSeenElsewhere(), expected);
}

} // namespace
