// Rules of the port-settings dialog and the progress bar's arithmetic, without widgets.
#include "core/PortSetRules.h"
#include "core/ProgressState.h"

#include <array>
#include <string>

#include <gtest/gtest.h>

namespace {
using Enabled = std::array<bool, portset::kRateButtons>;
constexpr Enabled kDirectRates = {false, false, true, true, true, true, true, true, true};
constexpr Enabled kModemRates = {true, true, false, false, false, false, false, false, false};
}  // namespace

TEST(PortSetRules, ConstructionTurnsChannelNumbersIntoButtonIndexes) {
  const PortSetValues values = MakePortSetValues(3, 4, 2, "ATZ");
  EXPECT_EQ(values.m_baud, 3);
  EXPECT_EQ(values.m_port, 3);
  EXPECT_EQ(values.m_commType, 1);
  EXPECT_EQ(values.m_modemInit, "ATZ");
  EXPECT_EQ(values.m_modemLabel, "Modem initial command");
}

TEST(PortSetRules, DirectLineMovesLowRatesTo57600AndOffersOnlyHighRates) {
  for (int rate : {0, 1}) {
    SCOPED_TRACE(rate);
    PortSetValues values = MakePortSetValues(rate, 1, 2, "");
    const RateLimits limits = ApplyRateLimits(values);
    EXPECT_EQ(values.m_baud, 7);
    EXPECT_EQ(limits.rateEnabled, kDirectRates);
    EXPECT_FALSE(limits.modemInitEnabled);
  }
  PortSetValues values = MakePortSetValues(3, 1, 2, "");
  ApplyRateLimits(values);
  EXPECT_EQ(values.m_baud, 3);  // 9600 is fine on a direct line
}

TEST(PortSetRules, ModemMovesHighRatesTo1200AndOffersOnly1200And2400) {
  for (int rate = 2; rate <= 8; ++rate) {
    SCOPED_TRACE(rate);
    PortSetValues values = MakePortSetValues(rate, 1, 1, "AT");
    const RateLimits limits = ApplyRateLimits(values);
    EXPECT_EQ(values.m_baud, 0);
    EXPECT_EQ(limits.rateEnabled, kModemRates);
    EXPECT_TRUE(limits.modemInitEnabled);
  }
  PortSetValues values = MakePortSetValues(1, 1, 1, "AT");
  ApplyRateLimits(values);
  EXPECT_EQ(values.m_baud, 1);  // 2400 is fine on a modem
}

TEST(PortSetRules, NoTypeCountsAsDirectLineAndNoRateStaysUnselected) {
  PortSetValues values = MakePortSetValues(-1, 1, 0, "");  // type 0 = no type button
  const RateLimits limits = ApplyRateLimits(values);
  EXPECT_EQ(values.m_baud, -1);
  EXPECT_EQ(limits.rateEnabled, kDirectRates);
  PortSetValues modem = MakePortSetValues(12, 1, 1, "");
  ApplyRateLimits(modem);
  EXPECT_EQ(modem.m_baud, 12);  // names no button, so nothing to move
}

TEST(PortSetRules, GetSettingPassesModemCommandOnlyForModemType) {
  PortSetValues values = MakePortSetValues(0, 3, 1, "ATS0=1");
  PortSetting modem = GetSetting(values);
  EXPECT_EQ(modem.port, 3);
  EXPECT_EQ(modem.commType, 1);
  EXPECT_EQ(modem.baudIndex, 0);
  ASSERT_TRUE(modem.modemInit.has_value());
  EXPECT_EQ(*modem.modemInit, "ATS0=1");

  values.m_commType = portset::kTypeRs232c;
  const PortSetting direct = GetSetting(values);
  EXPECT_EQ(direct.commType, 2);
  EXPECT_FALSE(direct.modemInit.has_value());
}

TEST(PortSetRules, GroupsWithoutSelectionGivePortZeroTypeZeroRateMinusOne) {
  PortSetValues values;  // every group reads -1
  const PortSetting setting = GetSetting(values);
  EXPECT_EQ(setting.port, 0);
  EXPECT_EQ(setting.commType, 0);
  EXPECT_EQ(setting.baudIndex, -1);
  EXPECT_FALSE(setting.modemInit.has_value());
}

TEST(PortSetRules, RadioIndexSelectsNothingOutsideTheGroup) {
  EXPECT_EQ(RadioIndex(-1, 8), -1);
  EXPECT_EQ(RadioIndex(0, 8), 0);
  EXPECT_EQ(RadioIndex(7, 8), 7);
  EXPECT_EQ(RadioIndex(8, 8), -1);
}

TEST(ProgressState, StartsEmptyOnZeroToHundredWithStepTen) {
  ProgressState bar;
  EXPECT_EQ(bar.Lower(), 0);
  EXPECT_EQ(bar.Upper(), 100);
  EXPECT_EQ(bar.Step(), 10);
  EXPECT_EQ(bar.Pos(), 0);
}

TEST(ProgressState, StepsThroughTheRangeAndStartsOverPastTheEnd) {
  ProgressState bar;
  bar.SetRange(0, 4);
  bar.SetStep(1);
  for (int expected : {1, 2, 3, 4, 0, 1}) {
    bar.StepIt();
    EXPECT_EQ(bar.Pos(), expected);
  }
}

TEST(ProgressState, PositionStaysInsideTheRange) {
  ProgressState bar;
  bar.SetPos(80);
  bar.SetRange(0, 4);
  EXPECT_EQ(bar.Pos(), 4);
  bar.SetPos(-3);
  EXPECT_EQ(bar.Pos(), 0);
  bar.SetRange(5, 2);  // inverted: only the lower end is a position
  EXPECT_EQ(bar.Pos(), 5);
  bar.SetRange(0, 10);
  bar.SetStep(2147483647);
  bar.StepIt();  // no overflow, starts over
  EXPECT_EQ(bar.Pos(), 0);
}
