#include "ddpd/DDPDPlayers.h"

#include <gtest/gtest.h>

using namespace ddpd;

TEST(DDPDPlayers, FindsByIdentifierTheLastOfTwinsAndListsLongNamesInOrder) {
    TDDPDPlayers players;
    players.Add(std::make_unique<TDDPDPlayer>(2, "a", "Alice"));
    players.Add(std::make_unique<TDDPDPlayer>(3, "b", "Bob"));
    players.Add(std::make_unique<TDDPDPlayer>(2, "c", "Carol"));
    EXPECT_EQ(players.IndexOfPlayer(2), 2);
    EXPECT_EQ(players.FindPlayer(2)->ShortName, "c");
    EXPECT_EQ(players.IndexOfPlayer(9), -1);
    EXPECT_EQ(players.FindPlayer(9), nullptr);
    std::vector<std::string> names{"stale"};
    players.GetNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Alice", "Bob", "Carol"}));
    const auto taken = players.Extract(1);
    EXPECT_EQ(taken->LongName, "Bob");
    EXPECT_EQ(players.Count(), 2);
}
