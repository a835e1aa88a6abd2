// A play's wave-kill chain reaches the leaderboard service: the world's award goes through the
// program's layer imports to the medal queue and its worker, and a local service reads medal 3
// for a chain of 5.
#include "app/layer_imports.h"
#include "tests/online/online_test_support.h"
#include "tests/support/leaderboard_decode.h"
#include "tests/support/local_http_server.h"
#include "tests/support/memory_script_source.h"
#include "world/play/player_state.h"

#include <string>

namespace {

using namespace test_support;

using MedalRoad = OnlineTest;

// The chain bonus collected five times, as its pickup does, and the frames' ticks run until the
// medal is sent.
TEST_F(MedalRoad, AChainOfFiveReachesTheServiceAsMedalThree) {
    ClLocalHttpServer server{"0"};
    ClInstalledScripts scripts{{{"playbalance.txt", "score_wavekill_base_bonus = 100.0;"}}};
    installLayerImports();
    signIn("ace", "secret");
    startOverHttp(server.address());
    resetPlayerStates();
    enableFirstPlayer();
    for (int i = 0; i < 5; ++i) awardWaveKillChainBonus(0, ClVec3());
    settle(true);
    EXPECT_EQ(leaderboardField(decodeLeaderboardBody(server.lastBody()), "medal"), "3");
    clearLayerImports();
}

}  // namespace
