// Files, directories, directory search, text conversion and time. The profile lock is the program's
// test (a second game on the same profile).
#include "platform/os/os.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

class TempDirectory : public ::testing::Test {
protected:
    void writeFile(const std::string& relative, const std::string& contents) {
        SOsFile* file = osFileOpen((m_root + "/" + relative).c_str(), E_OSFILE_WRITE_CREATE);
        uint32_t written = 0;
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(osFileWrite(file, contents.data(), uint32_t(contents.size()), &written));
        EXPECT_TRUE(osFileClose(file));
    }

    // The names a search finds, each with its directory, file, hidden and read-only attributes.
    using Found = std::map<std::u16string, uint32_t>;
    static Found search(const std::u16string& pattern) {
        Found found;
        SOsFindData data;
        SOsFind* find = osFindFirst(pattern.c_str(), &data);
        if (!find) return found;
        do {
            found[data.name] = data.attributes & (E_OSATTR_DIRECTORY | E_OSATTR_FILE | E_OSATTR_HIDDEN | E_OSATTR_READONLY);
        } while (osFindNext(find, &data));
        EXPECT_EQ(osLastError(), uint32_t(E_OSERR_NO_MORE_FILES));
        osFindClose(find);
        return found;
    }

    // The game's form of the folder's path: UTF-16.
    std::u16string wideRoot() {
        std::u16string wide;
        EXPECT_TRUE(osUtf8ToWide(m_root.c_str(), &wide));
        return wide;
    }

    test_support::ClTempDir m_folder;
    std::string m_root = m_folder.str();
};

TEST_F(TempDirectory, DirectoryCreationMakesEveryMissingParent) {
    const std::u16string path = wideRoot() + u"\\Orlenvane\\Velodrix\\SAVEDATA\\";
    EXPECT_TRUE(osCreateDirectoryW(path.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/Orlenvane/Velodrix/SAVEDATA"));
    EXPECT_TRUE(osCreateDirectoryW(path.c_str())) << "an existing folder is success";
    writeFile("plain", "x");
    EXPECT_FALSE(osCreateDirectory((m_root + "/plain").c_str())) << "a file is in the way";
}

TEST_F(TempDirectory, SearchMatchesNonAsciiNamesAndCaseFreelyAndReportsAttributes) {
    const std::u16string flac = u"B\u00e9la Bart\u00f3k \U0001D11E.flac";
    writeFile(osWideToUtf8(flac.c_str()), "music");
    SOsFile* file = osFileOpenW((wideRoot() + u"\\" + flac).c_str(), E_OSFILE_READ_EXISTING);
    ASSERT_NE(file, nullptr);
    osFileClose(file);
    ASSERT_TRUE(osCreateDirectory((m_root + "/Album").c_str()));
    for (const char* name : {"Track.MP3", ".hidden.mp3", "notes.txt"}) writeFile(name, "x");
    chmod((m_root + "/notes.txt").c_str(), 0444);

    const Found mp3 = {{u".hidden.mp3", E_OSATTR_FILE | E_OSATTR_HIDDEN}, {u"Track.MP3", E_OSATTR_FILE}};
    Found all = {{u".", E_OSATTR_DIRECTORY}, {u"..", E_OSATTR_DIRECTORY}, {u"Album", E_OSATTR_DIRECTORY},
                 {u"notes.txt", E_OSATTR_FILE | E_OSATTR_READONLY}, {flac, E_OSATTR_FILE}};
    all.insert(mp3.begin(), mp3.end());
    EXPECT_EQ(search(wideRoot() + u"\\*"), all);
    EXPECT_EQ(search(wideRoot() + u"\\*.mp3"), mp3);
    EXPECT_EQ(search(wideRoot() + u"\\*.FLAC"), (Found{{flac, E_OSATTR_FILE}}));

    SOsFindData data;
    EXPECT_EQ(osFindFirst((wideRoot() + u"\\missing\\*").c_str(), &data), nullptr);
    EXPECT_EQ(osLastError(), uint32_t(E_OSERR_NOT_FOUND));
}

TEST(TextConversion, RoundTripsRejectsInvalidUtf8AndNamesKeepTheirBytes) {
    const std::u16string wide = u"Caf\u00e9 \u266B \U0001F3B5";
    std::u16string back;
    EXPECT_EQ(osUtf8ToWide(osWideToUtf8(wide.c_str()).c_str(), &back), true);
    EXPECT_EQ(back, wide);

    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        EXPECT_FALSE(osUtf8ToWide(bad, &back)) << bad;
        EXPECT_TRUE(back.empty());
    }
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ(osWideToUtf8(lone), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(osSystemPath("Lang\\eng\\x.lang"), "Lang/eng/x.lang");

    // Names keep their bytes and read as text.
    EXPECT_EQ(osNameToWide("AC\\DC"), (std::u16string{u'A', u'C', 0xDC5C, u'D', u'C'}));
    EXPECT_EQ(osNameToWide("caf\xE9"), (std::u16string{u'c', u'a', u'f', 0xDCE9}));
    EXPECT_EQ(osNameToWide("\xE6\x9B\xB2 \xF0\x9F\x8E\xB5"), u"\u66F2 \U0001F3B5");
    EXPECT_EQ(osSystemPathW(osNameToWide("a\\b\xE9\xFF").c_str()), "a\\b\xE9\xFF");
    EXPECT_EQ(osSystemPathW(u"dir\\name"), "dir/name");
    EXPECT_EQ(osReadableText(osNameToWide("AC\\DC caf\xE9\tx")), u"AC\\DC caf\uFFFD x");
    EXPECT_EQ(osReadableText(u"\u66F2 \U0001F3B5"), u"\u66F2 \U0001F3B5");
    // Only kept bytes come back as bytes: another unpaired surrogate is no separator.
    const char16_t other[] = {u'a', 0xDC2F, u'b', 0};
    EXPECT_EQ(osSystemPathW(other), "a\xEF\xBF\xBD" "b");
}

TEST_F(TempDirectory, APipeADeviceAndAFolderNeverOpenAsAFile) {
    const std::string pipe = m_root + "/pipe.mp3";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    // Without a writer, an open that waited would never return.
    EXPECT_EQ(osFileOpen(pipe.c_str(), E_OSFILE_READ_EXISTING), nullptr);
    EXPECT_EQ(osLastError(), uint32_t(E_OSERR_NOT_A_FILE));
    EXPECT_EQ(osFileOpen("/dev/null", E_OSFILE_READ_EXISTING), nullptr);
    EXPECT_EQ(osFileOpen(m_root.c_str(), E_OSFILE_READ_EXISTING), nullptr);
    EXPECT_EQ(osLastError(), uint32_t(E_OSERR_ACCESS_DENIED));

    SOsFindData data;
    SOsFind* find = osFindFirst((wideRoot() + u"\\pipe.mp3").c_str(), &data);
    ASSERT_NE(find, nullptr);
    osFindClose(find);
    EXPECT_EQ(data.attributes & (E_OSATTR_FILE | E_OSATTR_SPECIAL), uint32_t(E_OSATTR_SPECIAL));
}

TEST_F(TempDirectory, AWritePastTheFileSizeLimitFailsInsteadOfEndingTheProgram) {
    struct rlimit previous;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    SOsFile* file = osFileOpen((m_root + "/big").c_str(), E_OSFILE_WRITE_CREATE);
    ASSERT_NE(file, nullptr);
    struct rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::vector<char> bytes(16384, 'x');
    uint32_t written = 0;
    const bool wrote = osFileWrite(file, bytes.data(), uint32_t(bytes.size()), &written);
    setrlimit(RLIMIT_FSIZE, &previous);
    osFileClose(file);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(osLastError(), uint32_t(E_OSERR_OTHER + EFBIG));
}

TEST(Time, CivilDatesAndCounters) {
    SOsDateTime date;
    osDateTimeFromUnixSeconds(1772841600, &date);  // 2026-03-07 00:00:00 UTC
    EXPECT_EQ(date.dayOfWeek, 6);
    osDateTimeFromUnixSeconds(951782400 + 86399, &date);  // 2000-02-29 23:59:59
    EXPECT_EQ(date.month, 2);
    EXPECT_EQ(date.day, 29);
    EXPECT_EQ(date.second, 59);
    const uint64_t before = osPerformanceCounter();
    osSleep(2);
    EXPECT_GT(osPerformanceCounter(), before);
}

TEST(Debugger, TracerPidIsReadFromTheStatusText) {
    EXPECT_EQ(osTracerPidFromStatusText("Name:\tx\nTracerPid:\t4242\n"), 4242);
    EXPECT_EQ(osTracerPidFromStatusText("Name:\tx\n"), 0);
}

}  // namespace
