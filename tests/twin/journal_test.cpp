// The journal and the settings: what the writer writes the decoder reads back
// whole, and anything else, including a record the writer could not keep or
// could not write, is a failure someone sees, never a record quietly lost.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files.h"
#include "journal-writer.h"
#include "journal.h"
#include "settings.h"

namespace {

class Journal : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/journal-test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = (dir_ / "journal").string();
    std::ofstream(path_).flush();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::vector<twin::Record> decoded() { return twin::decode_journal(support::read_file(path_)); }

  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(Journal, RecordsComeBackWholeWithTheirBytes) {
  const std::string bytes("tab\tline\nper%cent\0end\xff", 22);
  journal::Writer(journal::kLed)
      .field("LED8:GREEN")
      .field("delay_on")
      .field(bytes.data(), bytes.size())
      .field("refused")
      .number(22)
      .field("0")
      .field("timer")
      .field("0")
      .field("500")
      .commit(path_.c_str());
  journal::Writer(journal::kSleep).number(1500000000).commit(path_.c_str());
  journal::Writer(journal::kSync).commit(path_.c_str());
  journal::Writer(journal::kPowerOpen).number(2).commit(path_.c_str());
  journal::Writer(journal::kToolTime).number(250000000).commit(path_.c_str());
  journal::Writer(journal::kSync).commit(path_.c_str());
  const auto records = decoded();
  ASSERT_EQ(records.size(), 6u);
  const auto& led = std::get<twin::LedWrite>(records[0]);
  EXPECT_EQ(led.text, bytes);
  EXPECT_FALSE(led.accepted);
  EXPECT_EQ(led.error, 22);
  EXPECT_EQ(led.after, (twin::LedState{"0", "timer", "0", "500"}));
  EXPECT_EQ(std::get<twin::Sleep>(records[1]).seconds, 1.5);
  EXPECT_EQ(twin::time_of(records[2]), 1.5);  // after the sleep
  EXPECT_EQ(std::get<twin::PowerOpen>(records[3]).flags, 2);
  EXPECT_EQ(std::get<twin::ToolTime>(records[4]).seconds, 0.25);
  EXPECT_EQ(twin::time_of(records[5]), 1.75);  // after the sleep and the tool's time
}

TEST_F(Journal, AnythingButAWholeKnownRecordFailsTheDecoding) {
  const std::vector<std::pair<const char*, std::string>> bad = {
      {"unknown kind", "beep\t1\n"},
      {"a field too few", "power\t23098\t0\n"},
      {"a field too many", "sync\t1\n"},
      {"an open without its flags", "power-open\n"},
      {"not a number", "sleep\t1e9\n"},
      {"a bad escape", "loaded\t%4\n"},
      {"no line end", "sync"},
      {"argc that does not match", "tool\t1\torvex-msd\texit 0\t\t\t2\torvex-msd\n"},
      {"a lost record", "lost\tled\n"},
  };
  for (const auto& [name, text] : bad) {
    SCOPED_TRACE(name);
    EXPECT_THROW(twin::decode_journal(text), twin::JournalError);
  }
}

TEST_F(Journal, RecordTooLargeToKeepBecomesALostRecord) {
  const std::string huge(70000, 'x');
  journal::Writer(journal::kTool).number(1).field(huge.c_str()).commit(path_.c_str());
  EXPECT_EQ(support::read_file(path_), "lost\ttool\n");
  EXPECT_THROW(decoded(), twin::JournalError);
}

TEST_F(Journal, RecordThatCannotBeWrittenIsSaidOnStandardError) {
  testing::internal::CaptureStderr();
  const bool written = journal::Writer(journal::kSync).commit((dir_ / "absent/journal").c_str());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(written);
  EXPECT_NE(said.find("restoremark-twin: cannot open the journal"), std::string::npos) << said;
}

TEST_F(Journal, SettingsComeBackAsWrittenAndAStrangeLineIsRefused) {
  twin_settings::Settings s;
  s.platform = twin_settings::Platform::kLinux;
  s.xres_virtual = 256;
  s.fb_fails = 5;
  s.fb_memory = 1024;
  s.tool_time_ms = 1500;
  ASSERT_TRUE(twin_settings::set_answer(s, "orvex-auth", "--make-factory", true, 9));
  ASSERT_TRUE(twin_settings::write_settings(s, path_.c_str()));
  twin_settings::Settings back;
  char why[256] = "";
  ASSERT_TRUE(twin_settings::read_settings(path_.c_str(), &back, why, sizeof why)) << why;
  EXPECT_EQ(back.platform, s.platform);
  EXPECT_EQ(back.xres_virtual, 256u);
  EXPECT_EQ(back.fb_fails, 5);
  EXPECT_EQ(back.fb_memory, 1024);
  EXPECT_EQ(back.tool_time_ms, 1500);
  const auto* answer = twin_settings::find_answer(back, "orvex-auth", "--make-factory");
  ASSERT_NE(answer, nullptr);
  EXPECT_TRUE(answer->by_signal);
  EXPECT_EQ(answer->value, 9);
  for (const char* line :
       {"power=maybe\n", "fb.takes=12x\n", "colour=red\n", "time=real", "tools.time=-1\n"}) {
    SCOPED_TRACE(line);
    std::ofstream(path_, std::ios::trunc) << line;
    EXPECT_FALSE(twin_settings::read_settings(path_.c_str(), &back, why, sizeof why));
  }
}

}  // namespace
