#pragma once

// The permission flags that both agents declare. Each agent derives two of them from its
// own feature flags in `main`, before the run loop starts; afterwards they are only read.

namespace quen {

inline bool FEAT_PERMISSIONS_USE_SCREEN = false;  // screen recording matters to this agent
inline bool FEAT_PERMISSIONS_USE_ACCESS = false;  // accessibility matters to this agent
inline bool FEAT_PERMISSIONS_USE_ANY = false;     // the periodic permission re-check runs

}  // namespace quen
