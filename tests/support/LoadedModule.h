#pragma once
// Test-side host: the built module file loaded as a host loads it, `create`
// and `destory` resolved by name (CameraModule). Module state lives per
// loaded file, so each LoadedModule loads a private copy of the file and
// starts from fresh state.

#include "Base.h"
#include "BuiltModule.h"
#include "CameraModule.h"

class LoadedModule : public CameraModule {
public:
    LoadedModule() { load(builtModulePath(), Load::PrivateCopy); }
};
