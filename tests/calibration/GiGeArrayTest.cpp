// The pair table in memory: order, deletion, texts, display targets, messages.
#include "PairList.h"
#include "calibration/CGiGeArray.h"
#include "common/DecimalSeparator.h"
#include "support/RecordingOperator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

class GiGeArrayTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { SetDecimalSeparator('.'); }
    CRecordingOperator op;
};

TEST_F(GiGeArrayTest, AddKeepsAscendingGiAndEqualGiInArrivalOrder)
{
    CGiGeArray t;
    t.AddPair(2, 20);
    t.AddPair(1, 10);
    t.AddPair(2, 21);
    EXPECT_EQ(PairsOf(t), (PairList{{1, 10}, {2, 20}, {2, 21}}));
    t.AddPair(-1, -10);   // a reverse branch goes ahead of the forward pairs
    EXPECT_EQ(PairsOf(t).front(), std::make_pair(-1.0f, -10.0f));
}

// Equal Gi keep their order of arrival whichever way the pairs come in: one
// by one, from texts, or sorted after a change of Gi. Long inputs too, where
// an unstable sort would swap them.
TEST_F(GiGeArrayTest, EqualGiKeepTheOrderInWhichTheyCame)
{
    struct Case {
        const char* name;
        PairList in, out;
    };
    // Twenty pairs from the top, three more with Gi 5 among them.
    PairList longIn, longOut;
    for (int i = 20; i >= 1; --i)
        longIn.emplace_back(static_cast<float>(i), static_cast<float>(i));
    longIn.insert(longIn.begin() + 3, {5, 50});
    longIn.insert(longIn.begin() + 9, {5, 51});
    longIn.push_back({5, 52});
    // Gi 5 came as (5, 50), (5, 51), (5, 5), (5, 52).
    for (int i = 1; i <= 20; ++i) {
        if (i == 5)
            longOut.insert(longOut.end(), {{5, 50}, {5, 51}, {5, 5}, {5, 52}});
        else
            longOut.emplace_back(static_cast<float>(i), static_cast<float>(i));
    }
    const Case cases[] = {
        {"two, in order", {{2, 20}, {1, 10}, {2, 21}}, {{1, 10}, {2, 20}, {2, 21}}},
        {"two, last first", {{2, 21}, {2, 20}}, {{2, 21}, {2, 20}}},
        {"three", {{3, 30}, {3, 31}, {1, 1}, {3, 32}}, {{1, 1}, {3, 30}, {3, 31}, {3, 32}}},
        {"three in a long table", longIn, longOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CGiGeArray added;
        for (const auto& [gi, ge] : c.in)
            added.AddPair(gi, ge);
        EXPECT_EQ(PairsOf(added), c.out);

        CTextColumn gis, ges;
        for (const auto& [gi, ge] : c.in) {
            gis.push_back(CGiGeArray::PairValueText(gi));
            ges.push_back(CGiGeArray::PairValueText(ge));
        }
        const CGiGeArray fromTexts(VQ7_INFO{}, 1, 0, static_cast<int>(c.in.size()), ges, gis);
        EXPECT_EQ(PairsOf(fromTexts), c.out);

        // Gi changed in place, then sorted again.
        CGiGeArray resorted;
        for (const auto& [gi, ge] : c.in)
            resorted.AddPair(-gi, ge);
        for (int i = 0; i < resorted.GetCount(); ++i)
            resorted.PairAt(i).Gi = -resorted.PairAt(i).Gi;
        resorted.SortByGi(true);
        EXPECT_EQ(PairsOf(resorted), c.out);
    }
}

TEST_F(GiGeArrayTest, DeleteRemovesOnlyValidIndexes)
{
    CGiGeArray t;
    t.AddPair(1, 10);
    t.DeletePair(1);
    t.DeletePair(-1);
    EXPECT_EQ(t.GetCount(), 1);
    t.DeletePair(0);
    EXPECT_EQ(t.GetCount(), 0);
    t.DeletePair(0);
    EXPECT_EQ(t.GetCount(), 0);

    for (float gi : {3.f, 1.f, 2.f, 4.f})
        t.AddPair(gi, gi * 10);
    t.DeletePair(1);
    EXPECT_EQ(PairsOf(t), (PairList{{1, 10}, {3, 30}, {4, 40}}));
}

TEST_F(GiGeArrayTest, PairAtAndGetPairRejectIndexesOutside)
{
    CGiGeArray t;
    t.AddPair(1, 10);
    t.AddPair(2, 20);
    t.PairAt(1).Ge = 25;   // in place, no re-sort
    float gi = 0, ge = 0;
    t.GetPair(1, gi, ge);
    EXPECT_EQ(ge, 25);
    for (int bad : {-1, 2}) {
        try {
            t.PairAt(bad);
            FAIL() << "index " << bad;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "Вне диапазона GiGeArray");
        }
        EXPECT_THROW(t.GetPair(bad, gi, ge), std::invalid_argument);
    }
}

TEST_F(GiGeArrayTest, TextsReadInOperatorSeparatorAndEmptyAsZero)
{
    CGiGeArray t;
    t.AddPairFromText("", "");
    SetDecimalSeparator(',');
    t.AddPairFromText("1,5", "1.25");   // either separator is accepted
    EXPECT_EQ(PairsOf(t), (PairList{{0, 0}, {1.5f, 1.25f}}));
    EXPECT_TRUE(op.Messages().empty());
}

TEST_F(GiGeArrayTest, TextThatIsNoNumberDropsOnlyTheNewPair)
{
    CGiGeArray t;
    for (int i = 1; i <= 5; ++i)
        t.AddPair(static_cast<float>(i), static_cast<float>(i));
    t.AddPairFromText("abc", "1");
    t.AddPairFromText("1", "1x");
    EXPECT_EQ(t.GetCount(), 5);
    const auto msgs = op.Messages();
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].kind, RecordedMessage::App);
    EXPECT_EQ(msgs[0].text, "Ошибка перобразования String->float");
}

TEST_F(GiGeArrayTest, FillListItemsAppendsGeThenGi)
{
    CGiGeArray t;
    t.AddPair(3, 30.5f);
    t.AddPair(1, 10);
    t.AddPair(2, 0.25f);
    CListItems items;
    t.FillListItems(items);
    t.FillListItems(items);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].Caption, "1");
    EXPECT_EQ(items[0].SubItems[0], "1.000000e+01");
    EXPECT_EQ(items[0].SubItems[1], "1.000000e+00");
    EXPECT_EQ(items[2].Caption, "3");
    EXPECT_EQ(items[2].SubItems[0], "3.050000e+01");
    EXPECT_EQ(items[3].Caption, "1");

    SetDecimalSeparator(',');
    CListItems comma;
    t.FillListItems(comma);
    EXPECT_EQ(comma[1].SubItems[0], "2,500000e-01");
}

TEST_F(GiGeArrayTest, FillStringsReplacesOnlyThePairLines)
{
    CGiGeArray t;
    t.AddPair(2, 20);
    t.AddPair(1, 10);
    CTextColumn ge = {"Ge", "x", "y", "tail"};
    CTextColumn gi = {"Gi", "x", "y"};
    t.FillStrings(1, ge, gi);
    EXPECT_EQ(ge, (CTextColumn{"Ge", "1.000000e+01", "2.000000e+01", "tail"}));
    EXPECT_EQ(gi, (CTextColumn{"Gi", "1.000000e+00", "2.000000e+00"}));
    CTextColumn shortGe, shortGi;   // missing lines are added, not written past the end
    t.FillStrings(3, shortGe, shortGi);
    ASSERT_EQ(shortGi.size(), 5u);
    EXPECT_EQ(shortGi[4], "2.000000e+00");
}

TEST_F(GiGeArrayTest, ConstructorFromTexts)
{
    VQ7_INFO info;
    info.m_sType = "DZW3";
    const CTextColumn ge = {"Ge", "30", "10", "20"};
    const CTextColumn gi = {"Gi", "3", "1", "2"};

    CGiGeArray t(info, 12345678, 1, 3, ge, gi);
    EXPECT_EQ(PairsOf(t), (PairList{{1, 10}, {2, 20}, {3, 30}}));
    EXPECT_EQ(t.m_dwNumber, 12345678u);
    EXPECT_EQ(t.m_Info.m_sType, "DZW3");

    EXPECT_EQ(CGiGeArray(info, 1, 1, 0, ge, gi).GetCount(), 0);
    EXPECT_EQ(CGiGeArray(info, 1, 1, -2, ge, gi).GetCount(), 0);
    EXPECT_EQ(CGiGeArray(info, 1, 1, 4, ge, gi).GetCount(), 0);   // past the last line
    EXPECT_EQ(CGiGeArray(info, 1, 1, 0x7FFFFFFF, ge, gi).GetCount(), 0);   // checked before any allocation

    const CTextColumn badGi = {"Gi", "3", "z", "2"};
    EXPECT_EQ(CGiGeArray(info, 1, 1, 3, ge, badGi).GetCount(), 0);
    EXPECT_TRUE(op.Messages().empty());
}

TEST_F(GiGeArrayTest, CopyKeepsOrderAssignSorts)
{
    VQ7_INFO info;
    info.m_sType = "FJ  ";
    CGiGeArray src(info, 77);
    src.AddPair(1, 10);
    src.AddPair(2, 20);
    src.PairAt(0).Gi = 5;   // now out of order

    CGiGeArray copy(src);
    EXPECT_EQ(PairsOf(copy), (PairList{{5, 10}, {2, 20}}));
    EXPECT_EQ(copy.m_dwNumber, 77u);
    EXPECT_EQ(copy.m_Info.m_sType, "FJ  ");

    CGiGeArray assigned;
    assigned.AddPair(9, 9);
    assigned.Assign(src);
    EXPECT_EQ(PairsOf(assigned), (PairList{{2, 20}, {5, 10}}));
    EXPECT_EQ(assigned.m_dwNumber, 77u);
    assigned.Assign(assigned);
    EXPECT_EQ(assigned.GetCount(), 2);

    VQ7_INFO other;
    assigned.SetInfo(other, 5);
    EXPECT_EQ(assigned.m_dwNumber, 5u);
    EXPECT_EQ(assigned.GetCount(), 2);
}

TEST_F(GiGeArrayTest, SortDescendingAndNotANumberMovesForward)
{
    CGiGeArray t;
    t.AddPair(1, 1);
    t.AddPair(3, 3);
    t.AddPair(2, 2);
    t.SortByGi(false);
    EXPECT_EQ(PairsOf(t), (PairList{{3, 3}, {2, 2}, {1, 1}}));
    t.SortByGi(true);
    t.PairAt(2).Gi = std::numeric_limits<float>::quiet_NaN();
    t.SortByGi(true);
    EXPECT_TRUE(std::isnan(PairsOf(t).front().first));
}

TEST_F(GiGeArrayTest, ReportsGoToTheGuiThreadWithTheirIcon)
{
    CGiGeArray t;
    EXPECT_EQ(t.ReportError(""), 1);
    EXPECT_TRUE(op.Messages().empty());
    EXPECT_EQ(op.GuiCalls(), 1);

    EXPECT_EQ(t.ReportWarning("w"), 1);
    EXPECT_EQ(t.ReportInfo("i"), 1);
    EXPECT_EQ(t.ReportError("e"), 1);
    const auto msgs = op.Messages();
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[0].kind, RecordedMessage::Warning);
    EXPECT_EQ(msgs[1].kind, RecordedMessage::Information);
    EXPECT_EQ(msgs[2].kind, RecordedMessage::Error);
    EXPECT_EQ(t.m_sMessage, "e");
    EXPECT_EQ(op.GuiCalls(), 4);
}

}  // namespace
