#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/visa/visa.h"

// The system-library backend, with a stand-in library loaded through TESMIRA_VISA_LIBRARY.
namespace {

class VisaSystemLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("TESMIRA_VISA_ALIASES");
    setenv("TESMIRA_VISA_LIBRARY", FAKE_VISA_LIBRARY, 1);
    visa::ResetVisaState();
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  }
  void TearDown() override {
    visa::ResetVisaState();
    unsetenv("TESMIRA_VISA_LIBRARY");
  }
  ViSession rm = 0;
};

TEST_F(VisaSystemLibrary, GpibGoesThroughTheLibraryUnchanged) {
  ViSession vi = 0;
  ASSERT_EQ(viOpen(rm, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  EXPECT_EQ(visa::SessionBackend(vi), "system");
  const std::string command = "*IDN?\n";
  ViUInt32 n = 0;
  EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>(command.data()), 6, &n), VI_SUCCESS);
  EXPECT_EQ(n, 6u);
  unsigned char buf[64] = {};
  EXPECT_EQ(viRead(vi, buf, sizeof buf, &n), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), n), "ECHO *IDN?\n");

  // Attributes pass through with their widths; the session's manager is the facade's own.
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 7500), VI_SUCCESS);
  ViUInt32 tmo = 0;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
  EXPECT_EQ(tmo, 7500u);
  EXPECT_EQ(viSetAttribute(vi, 0x3FFF0999, 0x123456789ABCull), VI_ERROR_NSUP_ATTR);
  void* lib = dlopen(FAKE_VISA_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr);
  auto lastValue = reinterpret_cast<uint64_t (*)()>(dlsym(lib, "fake_visa_last_attribute_value"));
  ASSERT_NE(lastValue, nullptr);
  EXPECT_EQ(lastValue(), 0x123456789ABCull);
  dlclose(lib);
  ViSession owner = 0;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RM_SESSION, &owner), VI_SUCCESS);
  EXPECT_EQ(owner, rm);
  EXPECT_EQ(viClose(vi), VI_SUCCESS);

  ViSession missing = 0;
  EXPECT_EQ(viOpen(rm, "GPIB0::9::INSTR", VI_NULL, VI_NULL, &missing), VI_ERROR_RSRC_NFOUND);
}

TEST_F(VisaSystemLibrary, FindIncludesTheLibrarysInstruments) {
  ViFindList list = 0;
  ViUInt32 count = 0;
  char desc[VI_FIND_BUFLEN] = {};
  ASSERT_EQ(viFindRsrc(rm, "?*INSTR", &list, &count, desc), VI_SUCCESS);
  EXPECT_EQ(count, 2u);
  EXPECT_STREQ(desc, "GPIB0::7::INSTR");
  EXPECT_EQ(viFindNext(list, desc), VI_SUCCESS);
  EXPECT_STREQ(desc, "GPIB0::8::INSTR");
  EXPECT_EQ(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
}

TEST_F(VisaSystemLibrary, ANamedLibraryThatDoesNotLoadIsSaid) {
  setenv("TESMIRA_VISA_LIBRARY", "/nonexistent/libvisa.so", 1);
  visa::ResetVisaState();
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  ViSession vi = 0;
  EXPECT_EQ(viOpen(rm, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi), VI_ERROR_LIBRARY_NFOUND);
  unsetenv("TESMIRA_VISA_LIBRARY");
  visa::ResetVisaState();
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_EQ(viOpen(rm, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi), VI_ERROR_RSRC_NFOUND);
}

}  // namespace
