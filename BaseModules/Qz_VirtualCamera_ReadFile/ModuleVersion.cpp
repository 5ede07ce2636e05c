// The module's version as text in the binary, for `strings` and for anyone
// asking which build a host loaded; nothing reads it at run time. External
// linkage keeps the compiler from dropping it.

#include "ProjectVersion.h"

#include <QtGlobal>

#include <opencv2/core/version.hpp>

extern const char kModuleVersionText[];
const char kModuleVersionText[] = "Qz_VirtualCamera_ReadFile version " PROJECT_VERSION_TEXT
                                  " (built with Qt " QT_VERSION_STR ", OpenCV " CV_VERSION ")";
