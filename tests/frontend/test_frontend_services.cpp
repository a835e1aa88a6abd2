// The featured artists read from their script, bad entries skipped, and the document an artist
// queues opened at the shutdown by the desktop's handler (here a stand-in that writes down what it
// was asked to open).
#include "core/directories.h"
#include "core/script_cache.h"
#include "frontend/front_end_services.h"
#include "tests/support/file_bytes.h"
#include "tests/support/memory_script_source.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

class FrontEndServices : public ::testing::Test {
protected:
    void SetUp() override {
        scriptRegistriesInit();
        setScriptSource(&m_scripts);
        setDataDir("/games/velodrix/");
    }
    void TearDown() override {
        systemTermArtistsScreen();
        clearQueuedDocument();
        freeAllScripts();
        setScriptSource(nullptr);
        setDataDir("");
    }
    // What the handler was asked to open when the queued document is opened; empty when it was not
    // started within 30 s.
    std::string openedDocument() {
        const test_support::ClTempDir handler;
        handler.write("xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.done\"\n");
        std::filesystem::permissions(handler.file("xdg-open"), std::filesystem::perms::owner_all);
        const std::string path = std::getenv("PATH");
        setenv("PATH", (handler.str() + ":" + path).c_str(), 1);
        const bool opened = openQueuedDocument();
        setenv("PATH", path.c_str(), 1);
        if (!opened) return "";
        for (int tries = 0; tries < 3000 && !std::filesystem::exists(handler.file("xdg-open.done")); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return test_support::readFileText(handler.file("xdg-open.done"));
    }
    test_support::ClMemoryScriptSource m_scripts;
};

TEST_F(FrontEndServices, ArtistsSkipBadEntriesAndAnArtistsAddressIsOpenedAtTheShutdown) {
    m_scripts.files["artists.txt"] = "artist { \"Demo\"; \"Soundtrack\\Demo\" }; artist { \"Broken\" };"
                                     "artist { \"Web\"; \"https://example.org/a\\b\" };";
    loadFeaturedArtists();
    ASSERT_EQ(featuredArtists().size(), 2u);
    EXPECT_EQ(featuredArtists()[1].name, "Web");

    EXPECT_FALSE(queueArtistDocument(2));
    ASSERT_TRUE(queueArtistDocument(0));
    EXPECT_EQ(openedDocument(), "/games/velodrix/Soundtrack/Demo");
    EXPECT_FALSE(openQueuedDocument()) << "opened once";
    ASSERT_TRUE(queueArtistDocument(1));
    EXPECT_EQ(openedDocument(), "https://example.org/a\\b");
    ASSERT_TRUE(queueArtistDocument(0));
    clearQueuedDocument();
    EXPECT_EQ(openedDocument(), "") << "cleared";
}

}  // namespace
