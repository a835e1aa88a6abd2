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

class MedalRoad : public OnlineTest {
protected:
    void SetUp() override {
        OnlineTest::SetUp();
        installLayerImports();
        signIn("ace", "secret");
        startOverHttp(m_server.address());
        resetPlayerStates();
        enableFirstPlayer();
    }
    void TearDown() override {
        OnlineTest::TearDown();
        clearLayerImports();
    }

    ClLocalHttpServer m_server{"0"};
    ClInstalledScripts m_scripts{{{"playbalance.txt", "score_wavekill_base_bonus = 100.0;"}}};
};

// The chain bonus collected five times, as its pickup does, and the frames' ticks run until the
// medal is sent.
TEST_F(MedalRoad, AChainOfFiveReachesTheServiceAsMedalThree) {
    for (int i = 0; i < 5; ++i) awardWaveKillChainBonus(0, ClVec3());
    settle(true);
    EXPECT_EQ(leaderboardField(decodeLeaderboardBody(m_server.lastBody()), "medal"), "3");
}

}  // namespace
