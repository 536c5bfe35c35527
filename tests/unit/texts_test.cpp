// The fixed texts must reach the user as Shift_JIS, byte for byte: a wrong
// execution character set or an edited literal shows up here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "texts.h"

namespace shotrenum {
namespace {

std::string Hex(const char* bytes) {
  std::string hex;
  for (const char* p = bytes; *p != '\0'; ++p) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(*p));
    hex += pair;
  }
  return hex;
}

TEST(Texts, AreShiftJisBytes) {
  struct Expected {
    const char* label;
    const char* text;
    const char* hex;
  };
  const Expected all[] = {
      {"kNotFound", texts::kNotFound,
       "8358834e838a815b83938356838783628367837483408343838b82aa8ca982c282a982e882dc82b982f182c582b582bd8142"},
      {"kInOrder", texts::kInOrder,
       "8358834e838a815b8393835683878362836782cc8f8794d482cd90b38fed82c582b78142"},
      {"kTooManyShots", texts::kTooManyShots,
       "8358834e838a815b83938356838783628367837483408343838b82aa91bd82b782ac82dc82b7814288ea937882c98f88979d82c582ab82"
       "e982cc82cd31303030303030308c8f82dc82c582c582b78142837483408343838b82cd95cf8d5882b582c482a282dc82b982f18142"},
      {"kFolderChanged", texts::kFolderChanged,
       "92b28db8928682c983748348838b835f82cc93e0976582aa95cf82ed82e882dc82b582bd8142837483408343838b82cd95cf8d5882b582"
       "c482a282dc82b982f1814282e082a488ea93788ec08d7382b582c482ad82be82b382a28142"},
      {"kOutOfMemory", texts::kOutOfMemory,
       "83818382838a82aa957391ab82b582c482a282dc82b78142837483408343838b82cd95cf8d5882b582c482a282dc82b982f18142"},
      {"kAnotherRun", texts::kAnotherRun,
       "95ca82cc8ec08d7382aa82b182cc83748348838b835f82c58dec8bc6928682c582b781428f4982ed82c182c482a982e7814182e082a488"
       "ea93788ec08d7382b582c482ad82be82b382a28142"},
      {"kListingBroken", texts::kListingBroken,
       "83748348838b835f82cc93e0976582f08dc58ce382dc82c593c782dd8ee682ea82dc82b982f182c582b582bd8142837483408343838b82"
       "cd95cf8d5882b582c482a282dc82b982f18142"},
      {"kPhase1Start", texts::kPhase1Start,
       "88ea8e9e837483408343838b838a836c815b83808a4a8e6e81409153256c648c8f0a"},
      {"kProgress", texts::kProgress,
       "256c648c8f96da8f88979d92860a"},
      {"kPhase1End", texts::kPhase1End,
       "88ea8e9e837483408343838b838a836c815b83808f4997b90a0a"},
      {"kPhase2Start", texts::kPhase2Start,
       "838a836c815b83808a4a8e6e81409153256c648c8f0a"},
      {"kPhase2End", texts::kPhase2End,
       "838a836c815b83808f4997b90a"},
      {"kFailures", texts::kFailures,
       "838a836c815b838082c98eb8947382b582bd837483408343838b82aa82a082e882dc82b781420a257382f08a6d944682b582c482ad82be"
       "82b382a281420a"},
      {"kFailuresOnStdout", texts::kFailuresOnStdout,
       "838a836c815b838082c98eb8947382b582bd837483408343838b82aa82a082e882dc82b781420a95578f808f6f97cd82c98f9182ab8f6f"
       "82b582bd838a836c815b838089df92f6838d834f82f08a6d944682b582c482ad82be82b382a281420a"},
      {"kLogIncomplete", texts::kLogIncomplete,
       "257382cd9372928682a982e78f9182ab8d9e82df82c882ad82c882c182bd82bd82df81418e6382e882cc8d7382cd95578f808f6f97cd82"
       "c98f9182ab8f6f82b582dc82b582bd81420a"},
      {"kLogLost", texts::kLogLost,
       "257382cc8d7382cc88ea959482cd8141837483408343838b82c982e095578f808f6f97cd82c982e08f9182ab8d9e82df82dc82b982f182"
       "c582b582bd81420a"},
      {"kUsage", texts::kUsage,
       "8e6782a295fb3a2073686f7472656e756d205b2d6e5d205b83748348838b835f2e2e2e5d0a202020202020202073686f7472656e756d20"
       "5b2d2d756e646f5d20838d834f0a0a8358834e838a815b839383568387836283672847202b20378c8582cc90948e9a202b202e70637829"
       "82f08e4289658f87288d58905693fa8e9e82cc8cc382a28f87814193af82b68e9e8d8f82c882e796bc914f8f872982c995c082d781410a"
       "47303030303030302e70637882a982e78c8794d482c882b582cc94d48d8682f0957482af92bc82b582dc82b7814283748348838b835f82"
       "f08e7792e882b582c882a282c682ab82cd81418da182a282e983748348838b835f82f08f88979d82b582dc82b781420a0a20202d6e2c20"
       "2d2d6472792d72756e20202082c782cc837483408343838b82aa82c782cc96bc914f82c982c882e982a982f0955c8ea682b782e982be82"
       "af82c5814189bd82e095cf8d5882b582dc82b982f10a20202d2d756e646f20838d834f2020202020838d834f2856656c747261736b6f41"
       "6c6c5f81632e63737682a956656c747261736b6f4c6f675f81632e6373762982c98b4c985e82b382ea82bd8ec08d7382f08cb382c996df"
       "82b582dc82b70a20202d682c202d2d68656c7020202020202082b182cc90e096be82f0955c8ea682b582dc82b70a20202d2d7665727369"
       "6f6e20202020202020836f815b83578387839382f0955c8ea682b582dc82b70a0a8f4997b983588365815b835e83583a2030208ec08d73"
       "82b582bd2896bc914f82f095cf82a682e782ea82c882a982c182bd837483408343838b82cd838d834f82c98b4c985e82b582dc82b72981"
       "41322088f8909482cc8ceb82e82889bd82e095cf8d5882b582c482a282dc82b982f1290a"},
      {"kFolderHeading", texts::kFolderHeading,
       "83748348838b835f3a2025730a"},
      {"kLogHeading", texts::kLogHeading,
       "838d834f3a2025730a"},
      {"kUnknownOption", texts::kUnknownOption,
       "957396be82c88349837683568387839382c582b73a2025730a"},
      {"kPathMissing", texts::kPathMissing,
       "8ca982c282a982e882dc82b982f13a2025730a"},
      {"kNotFolderOrLog", texts::kNotFolderOrLog,
       "83748348838b835f82c582e082b182cc8363815b838b82cc838d834f82c582e082a082e882dc82b982f13a2025730a"},
      {"kNotALog", texts::kNotALog,
       "82b182cc8363815b838b82cc838d834f82c582cd82a082e882dc82b982f13a2025730a"},
      {"kPathUnreadable", texts::kPathUnreadable,
       "8a4a82af82dc82b982f13a2025730a"},
      {"kUndoWithoutLog", texts::kUndoWithoutLog,
       "2d2d756e646f82cc82a082c682c981418cb382c996df82b78ec08d7382cc838d834f82f08e7792e882b582c482ad82be82b382a281420a"},
      {"kDryRunUndo", texts::kDryRunUndo,
       "2d6e82cd8cb382c996df82b791808dec82c682cd88ea8f8f82c98e6782a682dc82b982f13a2025730a"},
      {"kArgumentsRefused", texts::kArgumentsRefused,
       "837483408343838b82cd95cf8d5882b582c482a282dc82b982f181428e6782a295fb82cd817573686f7472656e756d202d2d68656c7081"
       "7682c5955c8ea682c582ab82dc82b781420a"},
      {"kPreviewDone", texts::kPreviewDone,
       "88c88fe382cd975c92e882c582b78142837483408343838b82cd95cf8d5882b582c482a282dc82b982f181420a"},
      {"kPreviewUnwritten", texts::kPreviewUnwritten,
       "975c92e882cc88ea979782f095578f808f6f97cd82c98f9182ab8f6f82b982dc82b982f182c582b582bd8142837483408343838b82cd95"
       "cf8d5882b582c482a282dc82b982f181420a"},
      {"kProcessLogTitle", texts::kProcessLogTitle,
       "838a836c815b838089df92f6838d834f0a"},
      {"kResultLogTitle", texts::kResultLogTitle,
       "838a836c815b83808c8b89ca838d834f0a"},
      {"kLogHeader", texts::kLogHeader,
       "94bb92e82c838a836c815b8380914f2c838a836c815b83808ce32c8d58905693fa95742c8d5890568e9e8d8f0a"},
      {"kUndoProcessLogTitle", texts::kUndoProcessLogTitle,
       "838a836c815b838089df92f6838d834f8169257382f08cb382c996df82b7816a0a"},
      {"kUndoResultLogTitle", texts::kUndoResultLogTitle,
       "838a836c815b83808c8b89ca838d834f8169257382f08cb382c996df82b7816a0a"},
      {"kUndoLaterRun", texts::kUndoLaterRun,
       "82b182cc82a082c682cc8ec08d73257382aa82dc82be8cb382c996df82b382ea82c482a282dc82b982f18142905682b582a28ec08d7382"
       "a982e78f8782c98cb382c996df82b582c482ad82be82b382a28142837483408343838b82cd95cf8d5882b582c482a282dc82b982f18142"
       "0a"},
      {"kUndoNothing", texts::kUndoNothing,
       "8cb382c996df82b982e9837483408343838b82aa82a082e882dc82b982f1288cb382c996df82b58dcf82dd82a9814195cf8d5882dc82bd"
       "82cd8ded8f9c82b382ea82c482a282dc82b7298142837483408343838b82cd95cf8d5882b582c482a282dc82b982f18142"},
      {"kLogUnreadable", texts::kLogUnreadable,
       "257382cd82b182cc8363815b838b82cc838d834f82c682b582c493c782dd8ee682ea82dc82b982f18142837483408343838b82cd95cf8d"
       "5882b582c482a282dc82b982f181420a"},
      {"kPausePrompt", texts::kPausePrompt,
       "89bd82a9834c815b82f0899f82b782c68f4997b982b582dc82b7202e202e202e20"},
  };
  for (const Expected& e : all) EXPECT_EQ(Hex(e.text), e.hex) << e.label;
}

}  // namespace
}  // namespace shotrenum
