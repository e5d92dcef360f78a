#include "InputTrail/src/config.h"

#include "core/feature_flags.h"

namespace quen::input {

void deriveFeaturePermissions() {
  if (FEAT_FLAG__KEYS_NEEDED || FEAT_FLAG__REQ_PERM) {
    FEAT_PERMISSIONS_USE_ANY = true;
    FEAT_PERMISSIONS_USE_ACCESS = true;
  }
}

void scanLaunchArguments(int argc, const char* const* argv) {
  scanArguments(argc, argv, FEATURE_FLAG_TABLE, FEAT_COUNT_EXPECTED);
  deriveFeaturePermissions();
}

}  // namespace quen::input
