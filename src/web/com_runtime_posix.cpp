#include "web/com_runtime.h"

// There is no component runtime outside Windows.
ComRuntimeScope::ComRuntimeScope() = default;

ComRuntimeScope::~ComRuntimeScope() = default;
