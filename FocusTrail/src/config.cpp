#include "FocusTrail/src/config.h"

#include "core/feature_flags.h"

namespace quen::focus {

namespace {

const FlagBinding FEATURE_FLAG_TABLE[] = {
    {"--argTitleNeeded", &FEAT_FLAG__TITLE_NEEDED},
    {"--argUrlNeeded", &FEAT_FLAG__URL_NEEDED},
    {"--argForceReqPerm", &FEAT_FLAG__REQ_PERM},
};

}  // namespace

std::span<const FlagBinding> featureFlagTable() { return FEATURE_FLAG_TABLE; }

void derivePermissionFlags() {
  if (FEAT_FLAG__TITLE_NEEDED || FEAT_FLAG__REQ_PERM) {
    FEAT_PERMISSIONS_USE_ANY = true;
    FEAT_PERMISSIONS_USE_SCREEN = true;
  }
}

void scanLaunchArguments(int argc, const char* const* argv) {
  scanArguments(argc, argv, featureFlagTable(), FEAT_COUNT_EXPECTED);
  derivePermissionFlags();
}

const Record DICT_SCHEMA{
    {"appName", false},  {"appIdentifier", false}, {"appPath", false},
    {"winTitle", false}, {"winUrl", false},        {"error", false},
};

}  // namespace quen::focus
