// A play's wave-kill chains reach the leaderboard service: the world's award goes through the
// program's layer imports to the medal queue and its worker, and a local service reads medal 3
// for a chain of 5 and medal 4 for a chain of 10.
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
    // Collects the chain bonus as often as given, as its pickup does, and runs the frames' ticks
    // until the medal is sent; the medal the service last read.
    std::string chainTo(int bonuses) {
        for (int i = 0; i < bonuses; ++i) awardWaveKillChainBonus(0, ClVec3());
        settle(true);
        return leaderboardField(decodeLeaderboardBody(m_server.lastBody()), "medal");
    }

    ClLocalHttpServer m_server{"0"};
    ClInstalledScripts m_scripts{{{"playbalance.txt", "score_wavekill_base_bonus = 100.0;"}}};
};

TEST_F(MedalRoad, ChainsOfFiveAndTenReachTheServiceAsMedalsThreeAndFour) {
    EXPECT_EQ(chainTo(5), "3");
    EXPECT_EQ(chainTo(5), "4");
}

}  // namespace
