#pragma once
#include <memory>

#include "vsthost/host_callback.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"

// The Vorzle DLL beside the test program, loaded once for all tests.
PluginModule& vorzleModule();

// A new instance through the DLL's main and the recording host; the test
// fails (and answers null) when the DLL refuses.
std::unique_ptr<PluginInstance> createVorzle();
