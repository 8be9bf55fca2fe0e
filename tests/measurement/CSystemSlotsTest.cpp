// Slots, accessors with their fall-backs, and the model writes of CSystem.
#include "support/SimRig.h"
#include "TestHelpers.h"

#include "measurement/CSystem.h"

#include <gtest/gtest.h>

namespace {
const char* const kBadSlot = "CSystem, попытка обратится за границу массива";

FaultRule Refuse(int command)
{
    FaultRule r;
    r.kind = FaultKind::Refuse;
    r.command = command;
    return r;
}
}

TEST(CSystemSlots, SetMeterIdentifiesAndNumberZeroEmptiesTheSlot)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001, 3), FlowMeter(1002), FlowMeter(1003)});
    CSystem sys(&bus.Conn());

    EXPECT_EQ(0, sys.SetMeter(0, 1001));
    EXPECT_EQ(0, sys.SetMeter(1, 1002));
    EXPECT_EQ(0, sys.SetMeter(3, 1003));
    const VQ7_INFO info = sys.GetMeterInfo(0);
    EXPECT_EQ("FJ  ", info.m_sType);
    EXPECT_EQ("ФЖ-7", info.m_sModel);
    EXPECT_EQ(3, info.m_nParam0);
    EXPECT_EQ("04.02.01", info.m_sFullVersion);
    EXPECT_EQ(1002u, sys.GetMeterNumber(1));
    EXPECT_EQ(0, bus.Conn().OpenCount());

    EXPECT_EQ(3, sys.FindSlot(1003));
    EXPECT_EQ(2, sys.FindSlot(0));   // the first empty slot

    const unsigned requests = bus.Meter(1002).RequestCount();
    EXPECT_EQ(0, sys.SetMeter(1, 0));
    EXPECT_EQ(requests, bus.Meter(1002).RequestCount());
    EXPECT_EQ(0u, sys.GetMeterNumber(1));
    EXPECT_TRUE(sys.GetMeterInfo(1).m_sType.empty());
    EXPECT_EQ(1, sys.FindSlot(0));

    DebugLines dbg;
    EXPECT_EQ(-1, sys.FindSlot(4711));
    EXPECT_EQ(1, dbg.Count("CSystem, id по номеру не найден"));
}

TEST(CSystemSlots, ANewMeterInASlotDoesNotInheritThePreviousIdentity)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001, 3)}, 150, SimRig::Pty);   // short time-outs
    CSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    // No meter 1009 on the bus: the identification fails.
    EXPECT_EQ(RC_TIMEOUT, sys.SetMeter(0, 1009));
    const VQ7_INFO info = sys.GetMeterInfo(0);
    EXPECT_EQ(1009u, sys.GetMeterNumber(0));
    EXPECT_EQ(0, info.m_nParam0);
    EXPECT_TRUE(info.m_sModel.empty());
}

TEST(CSystemSlots, BadSlotsGiveTheirFallbacksAndChangeNothing)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001, 3)});
    CSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    const unsigned requests = bus.Meter(1001).RequestCount();

    DebugLines dbg;
    for (int bad : {-1, 10, 1 << 20}) {
        EXPECT_EQ(0, sys.SetMeter(bad, 1001));
        EXPECT_EQ(0u, sys.GetMeterNumber(bad));
        const VQ7_INFO info = sys.GetMeterInfo(bad);
        EXPECT_TRUE(info.m_sType.empty());
        EXPECT_EQ(0, info.m_nParam0);
        float gi = 7, gv = 8;
        EXPECT_EQ(-1, sys.GetCycleResult(bad, &gi, &gv));
        EXPECT_EQ(7.0f, gi);
        EXPECT_EQ(8.0f, gv);
        EXPECT_EQ(-1.0f, sys.GetCurrentGi(bad));
        EXPECT_EQ(-1.0f, sys.GetCurrentGv(bad));
        EXPECT_EQ(-1, sys.SetBaseModel(bad));
        EXPECT_EQ(-1, sys.RestoreModel(bad));
        sys.GetMeterStatus(bad);
    }
    EXPECT_EQ(3 * 9, dbg.Count(kBadSlot));
    EXPECT_EQ(3 * 9, static_cast<int>(dbg.Size()));
    EXPECT_EQ(requests, bus.Meter(1001).RequestCount());
    EXPECT_EQ(1001u, sys.GetMeterNumber(0));
    EXPECT_EQ(3, sys.GetMeterInfo(0).m_nParam0);
    EXPECT_EQ(0, sys.FindSlot(1001));
}

TEST(CSystemSlots, BaseModelWrittenAndRestored)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001, 3), FlowMeter(1002, 5)});
    CSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(2, 1002));

    EXPECT_EQ(0, sys.SetBaseModelAll());
    EXPECT_EQ(0, bus.Meter(1001).ParamByte(0));
    EXPECT_EQ(0, bus.Meter(1002).ParamByte(0));
    EXPECT_EQ(0, sys.RestoreModelAll());
    EXPECT_EQ(3, bus.Meter(1001).ParamByte(0));
    EXPECT_EQ(5, bus.Meter(1002).ParamByte(0));
    EXPECT_EQ(0, bus.Conn().OpenCount());

    DebugLines dbg;
    EXPECT_EQ(-1, sys.SetBaseModel(1));
    EXPECT_EQ(-1, sys.RestoreModel(1));
    EXPECT_EQ(2, dbg.Count("CSystem, элемент 1 не задан"));
}

TEST(CSystemSlots, ModelWritesTryEverySlotAndARestoreRetriesOnlyTheMetersStillOnTheBaseModel)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001, 3), FlowMeter(1002, 5), FlowMeter(1003, 7)});
    CSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(2, 1002));
    ASSERT_EQ(0, sys.SetMeter(5, 1003));
    bus.Meter(1002).AddFault(Refuse(VQ7_CMD_WRITE_PARAM));

    std::vector<int> failed;
    EXPECT_EQ(VQ7_ERR_BAD_COMMAND, sys.SetBaseModelAll(&failed));
    EXPECT_EQ(std::vector<int>{2}, failed);
    EXPECT_EQ(0, bus.Meter(1001).ParamByte(0));
    EXPECT_EQ(5, bus.Meter(1002).ParamByte(0));
    EXPECT_EQ(0, bus.Meter(1003).ParamByte(0)) << "the meter after the failure is set too";
    EXPECT_TRUE(sys.IsOnBaseModel(0));
    EXPECT_FALSE(sys.IsOnBaseModel(2)) << "it refused: it keeps its own model";
    EXPECT_TRUE(sys.IsOnBaseModel(5));

    bus.Meter(1002).ClearFaults();
    bus.Meter(1003).AddFault(Refuse(VQ7_CMD_WRITE_PARAM));
    failed.clear();
    const unsigned writes1002 = bus.Meter(1002).CommandCount(VQ7_CMD_WRITE_PARAM);
    EXPECT_EQ(VQ7_ERR_BAD_COMMAND, sys.RestoreModelAll(&failed));
    EXPECT_EQ(std::vector<int>{5}, failed);
    EXPECT_EQ(3, bus.Meter(1001).ParamByte(0));
    EXPECT_EQ(writes1002, bus.Meter(1002).CommandCount(VQ7_CMD_WRITE_PARAM)) << "never left its own model";
    EXPECT_FALSE(sys.IsOnBaseModel(0));
    EXPECT_TRUE(sys.IsOnBaseModel(5));

    // A second restore writes only the meter still on the base model.
    bus.Meter(1003).ClearFaults();
    const unsigned writes1001 = bus.Meter(1001).CommandCount(VQ7_CMD_WRITE_PARAM);
    EXPECT_EQ(0, sys.RestoreModelAll());
    EXPECT_EQ(7, bus.Meter(1003).ParamByte(0));
    EXPECT_EQ(writes1001, bus.Meter(1001).CommandCount(VQ7_CMD_WRITE_PARAM));
    EXPECT_FALSE(sys.IsOnBaseModel(5));
}
