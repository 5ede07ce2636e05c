#pragma once
// Where the host finds the module when --module does not say.

#include <string>

// The module a host finds from its own path: the one built beside it
// (<build>/modules/<module file> for <build>/bin/camera-host), or else the
// installed one (<prefix>/<libdir>/Qz_VirtualCamera_ReadFile/<module file>
// for <prefix>/<bindir>/camera-host).
std::string defaultModulePath();
