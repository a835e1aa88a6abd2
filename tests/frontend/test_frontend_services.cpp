// The boss-score zones and featured artists read from their scripts, bad entries skipped, and the
// document an artist queues for the shutdown.
#include "core/directories.h"
#include "core/script_cache.h"
#include "frontend/front_end_services.h"
#include "tests/support/memory_script_source.h"

#include <gtest/gtest.h>

namespace {

class FrontEndServices : public ::testing::Test {
protected:
    void SetUp() override {
        scriptRegistriesInit();
        setScriptSource(&m_scripts);
        setDataDir("/games/velodrix/");
    }
    void TearDown() override {
        releaseSosZones();
        systemTermArtistsScreen();
        clearQueuedDocument();
        freeAllScripts();
        setScriptSource(nullptr);
        setDataDir("");
    }
    test_support::ClMemoryScriptSource m_scripts;
};

TEST_F(FrontEndServices, ZonesAndArtistsSkipBadEntriesAndAnArtistQueuesItsAddress) {
    m_scripts.files["sos.txt"] = "zone { 0.1; 0.4; 0xFF203040 }; zone { 0.5; 1.5; 0xFF000000 }; zone { 0.2; };"
                                 "zone { 0.6; 0.9; 0x80FFFFFF };";
    m_scripts.files["artists.txt"] = "artist { \"Demo\"; \"Soundtrack\\Demo\" }; artist { \"Broken\" };"
                                     "artist { \"Web\"; \"https://example.org/a\\b\" };";
    loadSosZones();
    ASSERT_EQ(sosZones().size(), 2u);
    EXPECT_EQ(sosZones()[0].colour, 0xFF203040u);
    EXPECT_EQ(sosZones()[1].top, 0.6f);
    loadFeaturedArtists();
    ASSERT_EQ(featuredArtists().size(), 2u);
    EXPECT_EQ(featuredArtists()[1].name, "Web");

    EXPECT_FALSE(queueArtistDocument(2));
    ASSERT_TRUE(queueArtistDocument(0));
    EXPECT_EQ(queuedDocument(), "/games/velodrix/Soundtrack/Demo");
    ASSERT_TRUE(queueArtistDocument(1));
    EXPECT_EQ(queuedDocument(), "https://example.org/a\\b");
    clearQueuedDocument();
    EXPECT_FALSE(openQueuedDocument());
}

}  // namespace
