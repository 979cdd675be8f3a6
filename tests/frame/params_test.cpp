// The fax parameters: "sf.dat" byte for byte, the FAX OPERATION keys, the GENERAL texts and the
// phone book path, driven through SF_open and SF_close as a host does.
#include <cstring>

#include "frame_fixture.h"
#include "qorul.h"

namespace qortest {
namespace {

const uint16_t kWrittenKeys[] = {2200, 2202, 2201, 2203, 2207, 2208, 2204, 2209};

uint16_t wordAt(const std::string& bytes, size_t offset) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[offset]) | static_cast<uint8_t>(bytes[offset + 1]) << 8);
}
uint32_t dwordAt(const std::string& bytes, size_t offset) {
    return wordAt(bytes, offset) | static_cast<uint32_t>(wordAt(bytes, offset + 2)) << 16;
}
std::string textAt(const std::string& bytes, size_t offset, size_t width) {
    std::string field = bytes.substr(offset, width);
    return field.substr(0, field.find('\0'));
}

using ParamsTest = FrameTest;

TEST_F(ParamsTest, FirstOpenWritesDefaultsEverywhere) {
    ASSERT_EQ(SF_open(kHost), 0);
    const SF_PARAMS* p = qorsf::params();
    EXPECT_EQ(p->word2200, 1);
    EXPECT_EQ(p->word2202, 1);
    EXPECT_EQ(p->word2203, 1);
    EXPECT_EQ(p->word2201, 0);
    EXPECT_STREQ(p->headername, "HEADER");
    EXPECT_STREQ(p->footername, "FOOTER");
    EXPECT_EQ(qorsf::frame().firstRun, 1);

    std::string dat = readFile(datFile());
    ASSERT_EQ(dat.size(), 682u);
    EXPECT_EQ(wordAt(dat, 672), 1);  // word 2200
    EXPECT_EQ(textAt(dat, 399, 80), "HEADER");
    for (uint16_t key : kWrittenKeys) EXPECT_NE(fax(key), "<missing>") << "key " << key;
    EXPECT_EQ(fax(2200), "1");
    EXPECT_EQ(fax(2201), "0");
    EXPECT_EQ(fax(2207), "HEADER");
    // Keys the library never writes; 2211 comes with the profile.
    EXPECT_EQ(fax(2205), "<missing>");
    EXPECT_EQ(fax(2210), "<missing>");
    EXPECT_EQ(fax(2211), "0");
}

TEST_F(ParamsTest, SfDatRoundTripsEveryField) {
    ASSERT_EQ(SF_open(kHost), 0);
    SF_PARAMS* p = qorsf::params();
    p->ccardinuse = 0x01020304;
    UL_strcopy(p->ccard.first, "1800CARD");
    UL_strcopy(p->ccard.second, "99887766");
    p->ccard.firstbefore = 1;
    p->ccard.secondbefore = 0;
    UL_strcopy(p->headername, "TOPLOGO");
    UL_strcopy(p->footername, "BOTLOGO");
    std::memset(p->spare1, 0x5A, sizeof p->spare1);
    p->word2202 = 0x1234;
    p->word2204 = 7;
    p->spare2 = 0xBEEF;
    qorsf::frame().word2200 = 0;  // live copies go back into the record at close
    qorsf::frame().word2201 = 1;
    qorsf::frame().word2203 = 0;
    ASSERT_EQ(SF_close(kHost), 0);

    const std::string dat = readFile(datFile());
    ASSERT_EQ(dat.size(), 682u);
    EXPECT_EQ(dwordAt(dat, 0), 0x01020304u);
    EXPECT_EQ(textAt(dat, 4, 26), "1800CARD");
    EXPECT_EQ(textAt(dat, 30, 26), "99887766");
    EXPECT_EQ(dwordAt(dat, 56), 1u);
    EXPECT_EQ(dwordAt(dat, 60), 0u);
    EXPECT_EQ(textAt(dat, 399, 80), "TOPLOGO");
    EXPECT_EQ(textAt(dat, 479, 80), "BOTLOGO");
    EXPECT_EQ(dat.substr(559, 111), std::string(111, '\x5A'));
    EXPECT_EQ(wordAt(dat, 670), 0);       // word 2203
    EXPECT_EQ(wordAt(dat, 672), 0);       // word 2200
    EXPECT_EQ(wordAt(dat, 674), 0x1234);  // word 2202
    EXPECT_EQ(wordAt(dat, 676), 1);       // word 2201
    EXPECT_EQ(wordAt(dat, 678), 7);       // word 2204
    EXPECT_EQ(wordAt(dat, 680), 0xBEEF);
    EXPECT_EQ(fax(2200), "0");
    EXPECT_EQ(fax(2202), "4660");
    EXPECT_EQ(fax(2207), "TOPLOGO");

    // A second run reads back what the first saved.
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(qorsf::frame().firstRun, 0);
    p = qorsf::params();
    EXPECT_STREQ(p->ccard.second, "99887766");
    EXPECT_EQ(p->spare2, 0xBEEF);
    EXPECT_EQ(qorsf::frame().word2201, 1);
    EXPECT_EQ(qorsf::frame().word2200, 0);
}

TEST_F(ParamsTest, MissingRequiredKeyRestoresDefaultsAndRewritesEverything) {
    ASSERT_EQ(SF_open(kHost), 0);
    UL_strcopy(qorsf::params()->ccard.first, "KEEPME");
    ASSERT_EQ(SF_close(kHost), 0);
    putFax(2200, "0");
    putFax(2207, "MINE");
    putFax(2204, "3");
    put("FAX OPERATION", keyName(2209).c_str(), nullptr);  // a required key goes missing

    ASSERT_EQ(SF_open(kHost), 0);
    const SF_PARAMS* p = qorsf::params();
    EXPECT_EQ(p->word2200, 1);
    EXPECT_STREQ(p->headername, "HEADER");
    EXPECT_EQ(p->word2204, 3);               // not one of the defaults: as loaded so far
    EXPECT_STREQ(p->ccard.first, "KEEPME");  // the rest of the record is kept
    for (uint16_t key : kWrittenKeys) EXPECT_NE(fax(key), "<missing>") << "key " << key;
    EXPECT_EQ(fax(2200), "1");
    EXPECT_EQ(fax(2207), "HEADER");
    EXPECT_EQ(textAt(readFile(datFile()), 4, 26), "KEEPME");
}

TEST_F(ParamsTest, MissingOptionalKeysRewriteNothingAndKeepTheirWords) {
    ASSERT_EQ(SF_open(kHost), 0);
    ASSERT_EQ(SF_close(kHost), 0);
    putFax(2205, "5");
    putFax(2210, "6");
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(qorsf::frame().word2205, 5);
    EXPECT_EQ(qorsf::frame().word2210, 6);
    ASSERT_EQ(SF_close(kHost), 0);

    put("FAX OPERATION", keyName(2205).c_str(), nullptr);
    put("FAX OPERATION", keyName(2210).c_str(), nullptr);
    const std::string settingsBefore = readFile(settings());
    const std::string datBefore = readFile(datFile());
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(readFile(settings()), settingsBefore);
    EXPECT_EQ(readFile(datFile()), datBefore);
    EXPECT_EQ(qorsf::frame().word2205, 5);
    EXPECT_EQ(qorsf::frame().word2210, 6);
}

TEST_F(ParamsTest, SettingWordsReadAsDecimalText) {
    EXPECT_EQ(qorsf::SF_settingword("007"), 7);
    EXPECT_EQ(qorsf::SF_settingword("12abc"), 12);
    EXPECT_EQ(qorsf::SF_settingword("abc"), 0);
    EXPECT_EQ(qorsf::SF_settingword(""), 0);
    EXPECT_EQ(qorsf::SF_settingword("-1"), 65535);
    EXPECT_EQ(qorsf::SF_settingword("+2"), 2);

    ASSERT_EQ(SF_open(kHost), 0);
    ASSERT_EQ(SF_close(kHost), 0);
    putFax(2204, "0012");
    putFax(2209, "x9");
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(qorsf::params()->word2204, 12);
    EXPECT_EQ(qorsf::frame().word2209, 0);
}

TEST_F(ParamsTest, ACutSfDatKeepsWhatItHeldKeepsACopyAndSaysSoOnce) {
    ASSERT_EQ(SF_open(kHost), 0);
    UL_strcopy(qorsf::params()->ccard.first, "4321");
    qorsf::params()->word2204 = 7;
    ASSERT_EQ(SF_close(kHost), 0);
    const std::string whole = readFile(datFile());
    const std::string cut = whole.substr(0, 600);
    writeFile(datFile(), cut);

    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_STREQ(qorsf::params()->ccard.first, "4321");  // the card was in the 600 bytes
    EXPECT_EQ(qorsf::params()->word2204, 7);              // the settings key gives the rest
    EXPECT_STREQ(qorsf::params()->headername, "HEADER");
    const std::string rewritten = readFile(datFile());
    EXPECT_EQ(rewritten.size(), 682u);  // saved whole at once
    EXPECT_EQ(rewritten.substr(0, 600), cut);
    EXPECT_EQ(wordAt(rewritten, 678), 7);
    EXPECT_EQ(readFile(datFile() + ".damaged"), cut);
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_NE(profile.ui().shown()[0].text.find("sf.dat.damaged"), std::string::npos);
    EXPECT_NE(readFile(profile.path("error.log")).find("SF_readdata"), std::string::npos);
    ASSERT_EQ(SF_close(kHost), 0);

    ASSERT_EQ(SF_open(kHost), 0);  // mended: nothing more to say
    EXPECT_EQ(profile.ui().shown().size(), 1u);
}

TEST_F(ParamsTest, AnEmptyOrMissingSfDatBesideTheSettingsKeepsTheirParameters) {
    ASSERT_EQ(SF_open(kHost), 0);
    ASSERT_EQ(SF_close(kHost), 0);
    putFax(2200, "0");
    putFax(2201, "1");
    putFax(2207, "LETTERHEAD");
    for (bool empty : {true, false}) {
        if (empty) writeFile(datFile(), "");
        else std::remove(datFile().c_str());
        ASSERT_EQ(SF_open(kHost), 0) << empty;
        EXPECT_EQ(qorsf::params()->word2200, 0) << empty;
        EXPECT_EQ(qorsf::params()->word2201, 1) << empty;
        EXPECT_STREQ(qorsf::params()->headername, "LETTERHEAD");
        ASSERT_EQ(SF_close(kHost), 0);
        EXPECT_EQ(fax(2200), "0");
        EXPECT_EQ(fax(2201), "1");
        EXPECT_EQ(fax(2207), "LETTERHEAD");
        EXPECT_EQ(readFile(datFile()).size(), 682u);
    }
    EXPECT_FALSE(fileExists(datFile() + ".damaged"));  // an empty file has nothing to keep
}

TEST_F(ParamsTest, ALongerSfDatKeepsItsTail) {
    ASSERT_EQ(SF_open(kHost), 0);
    UL_strcopy(qorsf::params()->ccard.first, "4321");
    ASSERT_EQ(SF_close(kHost), 0);
    const std::string dat = readFile(datFile());
    const std::string tail(50, '\xFF');
    writeFile(datFile(), dat + tail);
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_STREQ(qorsf::params()->ccard.first, "4321");
    UL_strcopy(qorsf::params()->ccard.first, "8765");
    ASSERT_EQ(SF_close(kHost), 0);
    const std::string after = readFile(datFile());
    ASSERT_EQ(after.size(), 682u + 50u);
    EXPECT_EQ(textAt(after, 4, 26), "8765");
    EXPECT_EQ(after.substr(682), tail);
}

TEST_F(ParamsTest, GarbageInTheSettingsFileIsSurvivedAndKept) {
    writeFile(settings(), "\x01\x02 binary\r\n[FAX OPERATION\r\n=novalue\r\nno equals sign\r\n"
                          "[GENERAL]\r\nSenderName = \"Ada  \"  \r\n" + std::string(3000, 'z') + "\r\n");
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_STREQ(qorsf::params()->sendera, "Ada");
    ASSERT_EQ(SF_close(kHost), 0);
    const std::string after = readFile(settings());
    EXPECT_NE(after.find("\x01\x02 binary"), std::string::npos);
    EXPECT_NE(after.find(std::string(3000, 'z')), std::string::npos);
}

TEST_F(ParamsTest, GeneralTextsFillTheRecordCutToTheirFields) {
    put("GENERAL", "SenderName", "Ada Lovelace   ");
    put("GENERAL", "SenderCompany", "Analytical Engines");
    put("GENERAL", "SenderAddress", std::string(200, 'a').c_str());
    put("GENERAL", "DialPrefix", std::string(40, '9').c_str());
    put("GENERAL", "DialSuffix", "#7");
    ASSERT_EQ(SF_open(kHost), 0);
    const SF_PARAMS* p = qorsf::params();
    EXPECT_STREQ(p->sendera, "Ada Lovelace");
    EXPECT_STREQ(p->senderb, "Analytical Engines");
    EXPECT_EQ(std::string(p->senderc), std::string(112, 'a'));  // 127 after the 128-byte trim, cut to 112
    EXPECT_EQ(std::string(p->dialprefix), std::string(30, '9'));
    EXPECT_STREQ(p->dialsuffix, "#7");
}

TEST_F(ParamsTest, GetparmAndAdjustparmSelectors) {
    ASSERT_EQ(SF_open(kHost), 0);
    uint16_t word = 77;
    EXPECT_EQ(SF_getparm(kHost, 3, &word), 0);
    EXPECT_EQ(word, 77);
    EXPECT_EQ(SF_getparm(kHost, 4, &word), 0);
    EXPECT_EQ(word, 0);  // the send state word starts at 0

    const uint16_t five = 5;
    EXPECT_EQ(SF_adjustparm(kHost, 5, &five), 0);
    EXPECT_EQ(SF_getparm(kHost, 5, &word), 0);
    EXPECT_EQ(word, 5);

    EXPECT_EQ(SF_adjustparm(kHost, 1, std::string(45, '8').c_str()), 0);
    EXPECT_EQ(std::string(qorsf::params()->dialprefix), std::string(30, '8'));
    EXPECT_EQ(SF_adjustparm(kHost, 2, "Grace"), 0);
    EXPECT_STREQ(qorsf::params()->sendera, "Grace");
    EXPECT_EQ(SF_adjustparm(kHost, 3, "*1"), 0);
    EXPECT_STREQ(qorsf::params()->dialsuffix, "*1");

    put("SYSTEM", "Value1", "3");
    EXPECT_EQ(SF_adjustparm(kHost, 4, nullptr), 0);  // ignores its pointer
    EXPECT_EQ(qorsf::frame().systemWord1, 3);
}

TEST_F(ParamsTest, AdjustparmBeforeOpenIsRefusedNotACrash) {
    EXPECT_EQ(SF_adjustparm(kHost, 1, "9"), SF_WRONGSTATE);
}

TEST_F(ParamsTest, PhoneBookPathDefaultsAndIsWrittenBack) {
    ASSERT_EQ(SF_open(kHost), 0);
    putFax(2206, "");
    char path[80] = {};
    ASSERT_EQ(SF_getphonebookpath(kHost, path), 0);
    EXPECT_EQ(std::string(path), profile.path("data/personal.pbk"));
    EXPECT_EQ(fax(2206), profile.path("data/personal.pbk"));
}

TEST_F(ParamsTest, PhoneBookPathFromTheSettingsIsCached) {
    putFax(2206, "/srv/books/team.pbk");
    ASSERT_EQ(SF_open(kHost), 0);
    char path[80] = {};
    ASSERT_EQ(SF_getphonebookpath(kHost, path), 0);
    EXPECT_STREQ(path, "/srv/books/team.pbk");
    putFax(2206, "/elsewhere.pbk");
    ASSERT_EQ(SF_getphonebookpath(kHost, path), 0);
    EXPECT_STREQ(path, "/srv/books/team.pbk");
}

}  // namespace
}  // namespace qortest
