#include "yacht/PlayerMan.h"

#include <gtest/gtest.h>

TEST(PlayerMan, NewRosterHasNoPlayers) {
    TPlayerMan r;
    EXPECT_EQ(r.FreeSlot(), 1);
    EXPECT_EQ(r.IndexOf(1), 0);
    EXPECT_EQ(r.IndexOf(0), 0);
    for (int i : {-1, 0, 1, 10, 11})
        EXPECT_EQ(r.IdAt(i), 0) << i;
}

TEST(PlayerMan, ARemovedPlayersSlotGoesToTheNextOne) {
    TPlayerMan r;
    r.AddPlayer(1);
    r.RemovePlayer(1);
    r.AddPlayer(77);
    EXPECT_EQ(r.IndexOf(77), 1);
    EXPECT_EQ(r.IdAt(1), 77);
    EXPECT_EQ(r.IndexOf(1), 0);
}

TEST(PlayerMan, AnEleventhPlayerIsLeftOut) {
    TPlayerMan r;
    for (int id = 100; id < 110; ++id)
        r.AddPlayer(id);
    EXPECT_EQ(r.FreeSlot(), 0);
    r.AddPlayer(999);
    EXPECT_EQ(r.IndexOf(999), 0);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(r.IdAt(i), 99 + i);
    TYachtState s = ResetYachtState();
    s.X = 5;
    r.SetState(999, s); // no slot: nothing changes
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(r.GetState(99 + i).X, 0);
}

TEST(PlayerMan, ADuplicateIdTakesASecondSlotAndTheLowerAnswers) {
    TPlayerMan r;
    r.AddPlayer(5);
    r.AddPlayer(5);
    EXPECT_EQ(r.IndexOf(5), 1);
    r.RemovePlayer(5);
    EXPECT_EQ(r.IndexOf(5), 2);
    EXPECT_EQ(r.FreeSlot(), 1);
}

TEST(PlayerMan, UnknownPlayersGetTheResetRecord) {
    TPlayerMan r;
    const TYachtState s = r.GetState(42);
    EXPECT_EQ(s.SailsTrimmed, 1);
    EXPECT_EQ(s.X, 0);
    EXPECT_EQ(s.Heading, 0);
}

TEST(PlayerMan, AddingResetsTheStateButKeepsTheSpeed) {
    TPlayerMan r;
    r.AddPlayer(3);
    TYachtState s = r.GetState(3);
    s.X = 10;
    s.Heading = 90;
    s.SailsTrimmed = 0;
    r.SetState(3, s);
    r.Yachts(1).SetSpeed(0.1f);
    r.RemovePlayer(3);
    r.AddPlayer(4);
    const TYachtState t = r.GetState(4);
    EXPECT_EQ(t.X, 0);
    EXPECT_EQ(t.Heading, 0);
    EXPECT_EQ(t.SailsTrimmed, 1);
    EXPECT_EQ(r.Yachts(1).Speed(), 0.1f);
    r.StepAll();
    EXPECT_FLOAT_EQ(r.Yachts(1).Speed(), 0.08f);
}

TEST(PlayerMan, StepAllMovesOnlySlotsWithPositiveIds) {
    TPlayerMan r;
    r.AddPlayer(0);
    r.AddPlayer(-3);
    r.AddPlayer(8);
    for (int i = 1; i <= 3; ++i) {
        TYachtState s = ResetYachtState();
        s.Heading = 300;
        r.Yachts(i).SetState(s);
    }
    r.StepAll();
    EXPECT_EQ(r.Yachts(1).Speed(), 0);
    EXPECT_EQ(r.Yachts(2).Speed(), 0);
    EXPECT_EQ(r.Yachts(3).Speed(), 0.02f);
    EXPECT_EQ(r.IndexOf(0), 1);
    EXPECT_EQ(r.IndexOf(-3), 2);
}
